/* Built against the installed package with pkg-config: creates the control, reads a property. */
#include <ocuvant_c.h>
#include <stdio.h>

int main(void) {
  OcuvantControl* control = ocuvant_create();
  OcuvantValue timeout = {OCUVANT_VOID, 0, NULL, NULL};
  char text[64], error[128];
  const int32_t hr = ocuvant_invoke(control, "EnrollIrisTimeout", OCUVANT_PROPERTY_GET, NULL, 0,
                                    &timeout, text, sizeof text, error, sizeof error);
  printf("EnrollIrisTimeout = %d (result %d)\n", (int)timeout.i, (int)hr);
  ocuvant_destroy(control);
  return hr == 0 && timeout.type == OCUVANT_INT32 && timeout.i > 0 ? 0 : 1;
}
