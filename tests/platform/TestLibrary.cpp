// A tiny library the dynamic-library tests load by a Windows-style name.
#include <cstdint>

extern "C" {

__attribute__((visibility("default"))) uint32_t GetASPI32SupportInfo() { return 0x0401; }

__attribute__((visibility("default"))) int ArdTestAdd(int a, int b) { return a + b; }
}
