#pragma once

#include <httplib.h>

#include <chrono>
#include <string>
#include <thread>

namespace TestSupport {

// An HTTP server of the test's own on 127.0.0.1 and a free port. Routes are set on Server()
// before Start(); it stops when the object goes away.
class LoopbackHttpServer {
public:
    LoopbackHttpServer() = default;
    ~LoopbackHttpServer() { Stop(); }
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    httplib::Server& Server() { return server_; }

    void Start()
    {
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() does nothing until the accept loop runs, so wait for it (bounded).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!server_.is_running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    }
    void Stop()
    {
        if (thread_.joinable()) {
            server_.stop();
            thread_.join();
        }
    }
    int Port() const { return port_; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace TestSupport
