#include <windows.h>

#include "agent/app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR command_tail, int) {
  CZUApp app;
  return app.Run(command_tail);
}
