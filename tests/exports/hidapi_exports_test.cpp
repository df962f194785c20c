// The hidapi interface is exported by the control's library under hidapi's own names:
// each name resolves, through a handle of the library alone, to code inside the library
// itself (not to a hidapi library it depends on), and the functions work.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <cstdlib>
#include <string>

namespace {

const char* const kNames[] = {
    "hid_init",
    "hid_exit",
    "hid_enumerate",
    "hid_free_enumeration",
    "hid_open",
    "hid_open_path",
    "hid_write",
    "hid_read_timeout",
    "hid_read",
    "hid_set_nonblocking",
    "hid_send_feature_report",
    "hid_get_feature_report",
    "hid_close",
    "hid_get_manufacturer_string",
    "hid_get_product_string",
    "hid_get_serial_number_string",
    "hid_get_indexed_string",
    "hid_error",
};

class HidapiExports : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(OCUVANT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    link_map* map = nullptr;
    ASSERT_EQ(dlinfo(handle_, RTLD_DI_LINKMAP, &map), 0);
    library_ = map->l_name;
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  void* handle_ = nullptr;
  std::string library_;
};

TEST_F(HidapiExports, EveryNameIsDefinedInTheLibraryItself) {
  for (const char* name : kNames) {
    void* symbol = dlsym(handle_, name);
    ASSERT_NE(symbol, nullptr) << name;
    Dl_info info{};
    ASSERT_NE(dladdr(symbol, &info), 0) << name;
    EXPECT_EQ(std::string(info.dli_fname), library_) << name << " comes from " << info.dli_fname;
    EXPECT_STREQ(info.dli_sname, name);
  }
}

TEST_F(HidapiExports, TheExportedFunctionsWork) {
  using Init = int (*)();
  using Enumerate = void* (*)(unsigned short, unsigned short);
  using FreeEnumeration = void (*)(void*);
  using OpenPath = void* (*)(const char*);
  auto init = reinterpret_cast<Init>(dlsym(handle_, "hid_init"));
  auto exitHid = reinterpret_cast<Init>(dlsym(handle_, "hid_exit"));
  auto enumerate = reinterpret_cast<Enumerate>(dlsym(handle_, "hid_enumerate"));
  auto freeEnumeration = reinterpret_cast<FreeEnumeration>(dlsym(handle_, "hid_free_enumeration"));
  auto openPath = reinterpret_cast<OpenPath>(dlsym(handle_, "hid_open_path"));
  ASSERT_TRUE(init && exitHid && enumerate && freeEnumeration && openPath);
  EXPECT_EQ(init(), 0);
  freeEnumeration(enumerate(0x0483, 0x5750));  // no such device here: an empty list
  EXPECT_EQ(openPath("/nonexistent/hidraw"), nullptr);
  EXPECT_EQ(exitHid(), 0);
}

}  // namespace
