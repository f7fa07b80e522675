#include "support/LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace
{
void sendAll(int fd, const std::string& data)
{
  size_t sent = 0;
  while (sent < data.size())
  {
    const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0)
      return;
    sent += static_cast<size_t>(n);
  }
}

int listenOnLoopback(int& port)
{
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  port = ntohs(addr.sin_port);
  return fd;
}
} // namespace

LocalHttpServer::LocalHttpServer(Mode serverMode, std::string responseBody)
    : mode(serverMode), body(std::move(responseBody))
{
  listenFd = listenOnLoopback(port);
  ::listen(listenFd, 8);
  thread = std::thread([this] { serve(); });
}

LocalHttpServer::~LocalHttpServer()
{
  stopping = true;
  thread.join();
  ::close(listenFd);
}

std::string LocalHttpServer::baseUrl() const
{
  return "http://127.0.0.1:" + std::to_string(port);
}

std::string LocalHttpServer::lastRequestLine() const
{
  return lineReady.load() ? requestLine : std::string();
}

int LocalHttpServer::unusedPort()
{
  int port = 0;
  const int fd = listenOnLoopback(port);
  ::close(fd); // bound but never listened on, then released
  return port;
}

void LocalHttpServer::serve()
{
  while (!stopping)
  {
    pollfd pfd{listenFd, POLLIN, 0};
    if (::poll(&pfd, 1, 50) <= 0)
      continue;
    const int client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
      continue;
    // Read the request head.
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && !stopping)
    {
      pollfd cfd{client, POLLIN, 0};
      if (::poll(&cfd, 1, 50) <= 0)
        continue;
      const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0)
        break;
      request.append(buffer, static_cast<size_t>(n));
    }
    if (!lineReady)
    {
      requestLine = request.substr(0, request.find("\r\n"));
      lineReady = true;
    }
    ++requestCount;

    if (mode == Mode::NeverAnswer)
    {
      while (!stopping)
        ::usleep(10000);
    }
    else
    {
      const size_t announced = mode == Mode::CutOff ? body.size() + 100 : body.size();
      sendAll(client, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                          std::to_string(announced) + "\r\nConnection: close\r\n\r\n" + body);
    }
    ::shutdown(client, SHUT_RDWR);
    ::close(client);
  }
}
