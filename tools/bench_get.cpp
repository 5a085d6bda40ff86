// zubenchget URL FILE: the bare WinINet download the engine is measured
// against. One request from the server, never into the cache, 64 KiB reads,
// each written to the file and flushed, as the engine does. Prints the bytes
// and the seconds it took. Exit code 0 when every announced byte arrived.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "common/framework/handle.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fwprintf(stderr, L"usage: zubenchget URL FILE\n");
    return 2;
  }
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  zu::UniqueInternet session(
      ::InternetOpenW(L"zubenchget", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  zu::UniqueInternet request(session ? ::InternetOpenUrlW(session.get(), argv[1], nullptr, 0,
                                                          INTERNET_FLAG_RELOAD |
                                                              INTERNET_FLAG_NO_CACHE_WRITE |
                                                              INTERNET_FLAG_TRANSFER_BINARY,
                                                          0)
                                     : nullptr);
  zu::UniqueFile file(
      ::CreateFileW(argv[2], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!request || !file) {
    std::fwprintf(stderr, L"zubenchget: cannot start (%lu)\n", ::GetLastError());
    return 1;
  }
  std::vector<char> block(65536);
  unsigned long long total = 0;
  for (;;) {
    DWORD n = 0, written = 0;
    if (!::InternetReadFile(request.get(), block.data(), static_cast<DWORD>(block.size()), &n)) {
      std::fwprintf(stderr, L"zubenchget: read failed (%lu)\n", ::GetLastError());
      return 1;
    }
    if (n == 0) break;
    if (!::WriteFile(file.get(), block.data(), n, &written, nullptr) || written != n ||
        !::FlushFileBuffers(file.get()))
      return 1;
    total += n;
  }
  ::QueryPerformanceCounter(&end);
  std::printf("bytes=%llu seconds=%.4f\n", total,
              static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
  return 0;
}
