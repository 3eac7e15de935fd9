// A bridge listener for the back-end tests, written from the wire format
// alone: greets every connection (or not), keeps what the host sends, and
// sends, drops connections or goes away when a test says so.
#ifndef FAKE_LISTENER_H
#define FAKE_LISTENER_H

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

class FakeListener
{
public:
    // greeting: the first message of every connection; greets is false for
    // a listener that accepts and then says nothing.
    FakeListener(std::string path, Bytes greeting, bool greets = true);
    ~FakeListener();
    FakeListener(const FakeListener &) = delete;
    FakeListener &operator=(const FakeListener &) = delete;

    // The socket is bound and listened on.
    bool listening() const { return m_started; }
    int accepted() const;                // connections accepted so far
    int openCount() const;               // connections open now
    std::vector<Bytes> received() const; // messages after the greeting, in order

    // To the newest open connection: one message, or raw bytes as they are.
    bool send(const Bytes &message);
    bool sendRaw(const Bytes &bytes);
    // Closes every open connection; listening goes on.
    void dropConnections();
    // Stops listening and removes the socket; open connections are closed.
    void stop();

private:
    struct Peer {
        int fd;
        Bytes pending; // bytes of a message not yet complete
    };
    void run();
    void wake();
    void readFrom(Peer &peer);

    const std::string m_path;
    const Bytes m_greeting;
    const bool m_greets;
    int m_listen = -1; // owned by the listener's thread once started
    bool m_started = false;
    int m_wake[2] = {-1, -1};
    mutable std::mutex m_mutex; // guards the members below
    std::vector<Peer> m_peers;
    std::vector<Bytes> m_received;
    int m_accepted = 0;
    bool m_drop = false;
    bool m_stop = false;
    std::thread m_thread;
};

Bytes bytesOf(const std::string &text);

#endif
