/* Plain C interface of the Ocuvant control for hosts that are not C++. Every call
 * except the event callback runs on the thread that created the control. */
#ifndef OCUVANT_C_H
#define OCUVANT_C_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct OcuvantControl OcuvantControl;

typedef enum {
  OCUVANT_VOID = 0,
  OCUVANT_INT32 = 1,
  OCUVANT_STRING = 2, /* UTF-8, NUL-terminated */
  OCUVANT_INT32_PTR = 3
} OcuvantType;

typedef struct {
  OcuvantType type;
  int32_t i;
  const char* s;
  const int32_t* p;
} OcuvantValue;

typedef enum {
  OCUVANT_METHOD = 0,
  OCUVANT_PROPERTY_GET = 1,
  OCUVANT_PROPERTY_PUT = 2
} OcuvantInvokeKind;

/* dispid and name from the control's event table; args valid during the call.
 * LogInfo and PhotoCaptureEvent may arrive on any thread. */
typedef void (*OcuvantEventCallback)(void* user, int32_t dispid, const char* name,
                                     const OcuvantValue* args, int argc);

/* NULL when the control cannot be made (out of memory). */
OcuvantControl* ocuvant_create(void);
void ocuvant_destroy(OcuvantControl* control);
void ocuvant_set_event_callback(OcuvantControl* control, OcuvantEventCallback callback, void* user);

/* Calls a method or property by name. Returns 0 (S_OK) or a negative dispatch error
 * code (E_POINTER for a null control or name, or null args with argc > 0; E_INVALIDARG
 * for a negative argc or an unknown kind); `error` (if given) receives the reason. A
 * string result is copied into `text` (truncated to textSize - 1 bytes) and result->s
 * points at it; without room for the text (null `text` or textSize 0) result->s is null. */
int32_t ocuvant_invoke(OcuvantControl* control, const char* name, OcuvantInvokeKind kind,
                       const OcuvantValue* args, int argc, OcuvantValue* result, char* text,
                       size_t textSize, char* error, size_t errorSize);

/* The same by DISPID (methods and properties of the dispatch interface). */
int32_t ocuvant_invoke_dispid(OcuvantControl* control, int32_t dispid, OcuvantInvokeKind kind,
                              const OcuvantValue* args, int argc, OcuvantValue* result, char* text,
                              size_t textSize, char* error, size_t errorSize);

/* Runs the control's message loop for at most `ms` milliseconds (events fire here). */
void ocuvant_pump(OcuvantControl* control, uint32_t ms);

#ifdef __cplusplus
}
#endif

#endif /* OCUVANT_C_H */
