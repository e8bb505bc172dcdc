// The shared library's interface: exactly one dynamic symbol, SKU, callable by
// name from a loader.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

namespace {

std::filesystem::path Library() {
  const char* dir = std::getenv("SORVAN_LIB_DIR");
  return std::filesystem::path(dir ? dir : ".") / "libkriging.so";
}

// Built by the `kriging` target, which the test executables do not depend on.
#define REQUIRE_LIBRARY()                                                                  \
  if (!std::filesystem::exists(Library()))                                                 \
  GTEST_SKIP() << Library() << " not built (build the `kriging` target before the tests)"

TEST(KrigingLibrary, ExportsOnlySKU) {
  REQUIRE_LIBRARY();
  const std::string command = "nm -D --defined-only '" + Library().string() + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream fields(line);
    std::string address, type, name;
    fields >> address >> type >> name;
    if (type != "A") names.insert(name);  // absolute linker symbols are not code or data
  }
  ASSERT_EQ(pclose(pipe), 0) << "nm failed";
  EXPECT_EQ(names, std::set<std::string>{"SKU"});
}

TEST(KrigingLibrary, SKUIsFoundByNameAndInternalsAreNot) {
  REQUIRE_LIBRARY();
  void* handle = dlopen(Library().c_str(), RTLD_LAZY | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  using Entry = void (*)(std::int32_t*, float*, float*, float*, float*, float*, std::int32_t*,
                         std::int32_t*, std::int32_t*, std::int32_t*, std::int32_t*,
                         std::int32_t*, float*, float*, float*, float*, std::int32_t*, float*,
                         float*, float*, std::int32_t*, float*);
  EXPECT_NE(reinterpret_cast<Entry>(dlsym(handle, "SKU")), nullptr);
  EXPECT_EQ(dlsym(handle, "_ZN7kriging9DriftTermEiff"), nullptr);     // kriging::DriftTerm
  EXPECT_EQ(dlsym(handle, "_ZN7kriging12CriticalStopEi"), nullptr);  // kriging::CriticalStop
  dlclose(handle);
}

}  // namespace
