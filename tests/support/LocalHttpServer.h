#pragma once
#include <atomic>
#include <string>
#include <thread>

// A one-request-at-a-time HTTP server on 127.0.0.1 with a scripted answer,
// for tests that talk HTTP to something real.
class LocalHttpServer
{
public:
  enum class Mode
  {
    Answer,      // a complete response with the body
    CutOff,      // announces more bytes than it sends, then closes
    NeverAnswer, // accepts and stays silent until stopped
  };

  LocalHttpServer(Mode mode, std::string body);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // "http://127.0.0.1:PORT"
  std::string baseUrl() const;
  // The request line of the last request, e.g. "GET /x HTTP/1.1".
  std::string lastRequestLine() const;
  int requests() const { return requestCount.load(); }

  // A port on which nothing listens.
  static int unusedPort();

private:
  void serve();

  Mode mode;
  std::string body;
  int listenFd = -1;
  int port = 0;
  std::atomic<bool> stopping{false};
  std::atomic<int> requestCount{0};
  mutable std::atomic<bool> lineReady{false};
  std::string requestLine;
  std::thread thread;
};
