// A tiny library the dynamic loading tests open in place of a vendor ".dll".
extern "C" int SampleAnswer() {
  return 42;
}
