// Face libraries that are broken on purpose, one per build variant:
//   FACE_NO_ENROLL    lacks "TravexFaceEnroll" (its initialiser answers -3)
//   FACE_NO_TEMPLATE  lacks "TravexFaceMakeTemplateWithDetail"
//   FACE_NONSENSE     no initialiser; every template comes with a nonsense detail record
//                     (boxes outside the picture, inverted, at the integer limits) and
//                     the most negative pose byte; enrollment always refuses
#include <climits>
#include <cstdint>
#include <cstring>

#define TRAVEX_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef FACE_NONSENSE
TRAVEX_EXPORT int32_t TravexFaceInit() {
  return -3;
}
#endif

#ifndef FACE_NO_TEMPLATE
namespace {

// Nonsense records, served in turn (x1, y1, x2, y2, -, ax, ay, bx, by).
constexpr int32_t kNonsense[][9] = {
    {-5000, -5000, -4000, -4000, 0, 0, 0, 400, 0},  // far outside, large
    {600, 400, 100, 50, 0, 0, 0, 0, 300},           // inverted
    {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, INT_MIN, INT_MIN, INT_MAX, INT_MAX},  // limits
    {INT_MAX, INT_MAX, INT_MIN, INT_MIN, 0, INT_MAX, 0, INT_MIN, 0},              // limits
    {10, 10, 10, 10, 0, 7, 7, 7, 7},  // empty box, one landmark
};
int g_next = 0;

}  // namespace

TRAVEX_EXPORT int32_t TravexFaceMakeTemplateWithDetail(unsigned char*, int32_t, int32_t,
                                                       unsigned char* templ, int32_t* detail,
                                                       int32_t* extra) {
  std::memset(templ, 0, 6916);
  templ[1728] = 0x80;  // pose -128
  std::memcpy(detail, kNonsense[g_next], sizeof kNonsense[0]);
  g_next = (g_next + 1) % static_cast<int>(sizeof kNonsense / sizeof kNonsense[0]);
  *extra = INT_MIN;
  return 1;
}
#endif

#ifndef FACE_NO_ENROLL
TRAVEX_EXPORT int32_t TravexFaceEnroll(unsigned char*, int32_t, unsigned char*) {
  return 0;
}
#endif
