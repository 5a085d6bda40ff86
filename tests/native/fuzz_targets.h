#pragma once
// The fuzz targets, shared by the libFuzzer programs and by the replay of
// the kept inputs in the native unit tests. Each checks properties of the
// rules beyond "does not crash" and aborts when one fails.
#include <cstddef>
#include <cstdint>

int Fuzz_list_match(const std::uint8_t* data, std::size_t size);
int Fuzz_version(const std::uint8_t* data, std::size_t size);
int Fuzz_serial_range(const std::uint8_t* data, std::size_t size);
int Fuzz_http_text(const std::uint8_t* data, std::size_t size);
int Fuzz_page_address(const std::uint8_t* data, std::size_t size);
int Fuzz_registry_values(const std::uint8_t* data, std::size_t size);
int Fuzz_drive_inquiry(const std::uint8_t* data, std::size_t size);
int Fuzz_module_path(const std::uint8_t* data, std::size_t size);
int Fuzz_ftp_reply(const std::uint8_t* data, std::size_t size);
int Fuzz_patch_list(const std::uint8_t* data, std::size_t size);
int Fuzz_timestamp(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
  const char* name;
  int (*run)(const std::uint8_t*, std::size_t);
};
inline constexpr FuzzTarget kFuzzTargets[] = {
    {"list_match", Fuzz_list_match},
    {"version", Fuzz_version},
    {"serial_range", Fuzz_serial_range},
    {"http_text", Fuzz_http_text},
    {"page_address", Fuzz_page_address},
    {"registry_values", Fuzz_registry_values},
    {"drive_inquiry", Fuzz_drive_inquiry},
    {"module_path", Fuzz_module_path},
    {"ftp_reply", Fuzz_ftp_reply},
    {"patch_list", Fuzz_patch_list},
    {"timestamp", Fuzz_timestamp},
};
