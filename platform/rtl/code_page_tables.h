#pragma once

// Upper halves (bytes 0x80-0xFF) of the single-byte code pages; 0xFFFF = undefined.
namespace vgl::detail {

extern const char16_t kCodePage874[128];
extern const char16_t kCodePage1250[128];
extern const char16_t kCodePage1251[128];
extern const char16_t kCodePage1252[128];
extern const char16_t kCodePage1253[128];
extern const char16_t kCodePage1254[128];
extern const char16_t kCodePage1255[128];
extern const char16_t kCodePage1256[128];
extern const char16_t kCodePage1257[128];
extern const char16_t kCodePage1258[128];

} // namespace vgl::detail
