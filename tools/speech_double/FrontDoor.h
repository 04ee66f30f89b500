#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace SpeechDouble {

// The double's public socket. Every connection accepted there is relayed byte for byte (TLS
// included, untouched) to the HTTP server behind it on another loopback port. Holding both ends
// lets the double do what an HTTP server library cannot: reset a client's connection without a
// reply, and notice the moment a client gives up on a request. A connection is known by the
// local port of its relay's socket to the server, which the server sees as the remote port.
class FrontDoor {
public:
    FrontDoor() = default;
    ~FrontDoor();
    FrontDoor(const FrontDoor&) = delete;
    FrontDoor& operator=(const FrontDoor&) = delete;

    // Listens on host:port (0: a free port) and relays to backPort on the same host.
    bool Open(const std::string& host, int port, int backPort, std::string* error);
    int Port() const { return port_; }
    // Stops accepting, closes every connection and waits for the relay threads.
    void Close();

    // Resets (TCP RST) the client side of the connection relayed from `upstreamPort`; nothing
    // the server writes afterwards reaches the client.
    void Reset(int upstreamPort);
    // Whether the client of that connection is still there (false once it closed or was reset).
    bool ClientConnected(int upstreamPort) const;
    // Called (on a relay thread, no lock held) whenever a client goes away.
    void SetClientGoneListener(std::function<void()> listener);

private:
    struct Connection;
    void AcceptLoop();
    void Relay(const std::shared_ptr<Connection>& connection);
    void ReapFinished();
    void MarkClientGone(Connection& connection);

    std::string host_;
    int port_ = 0;
    int backPort_ = 0;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    bool closing_ = false;
    int nextId_ = 0;
    std::map<int, std::shared_ptr<Connection>> connections_;
    std::function<void()> clientGone_;
};

}  // namespace SpeechDouble
