// Stand-in for the database server "fbserver.exe": a long-running process without a window that
// listens on TCP port 3050 on the loopback interface, answering each connection by closing it.
// It ends when the service tool stops it.
#include <winsock2.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) return 1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(3050);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 8) != 0) {
    closesocket(listener);
    return 1;  // another server holds the port
  }
  for (;;) {
    SOCKET client = accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) break;
    closesocket(client);
  }
  closesocket(listener);
  WSACleanup();
  return 0;
}
