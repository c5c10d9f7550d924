#pragma once
// The TCP-server link of Ostrilon: the console listens, the meter side (a
// meter's communication device) connects in, and frames travel over that
// connection. One meter-side client is served at a time, by a thread of its
// own that assembles the replies; a second client connecting meanwhile is
// closed at once. Replies go through one buffer for the whole program.
//
// The window's thread never waits on the client thread for long: sending a
// request gives up after the reply time (a meter side that stops reading
// cannot freeze the window), and the client thread can always leave, also
// while a send is blocked or its connected event is still queued.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "CounterCommunication.h"

namespace console {

class TTCPIPCommunication : public TCounterCommunication {
public:
    // Hands a callable to the window's thread. It may post the call and
    // return at once (the window: Qt::QueuedConnection on a context object),
    // or return once the call has run (common::CallQueue::Call, for tools
    // and tests; StopListening then runs pending calls through
    // common::ProcessPendingEvents() while a client thread waits in it).
    // The client thread waits until the call has run or the server stops; a
    // call that runs after the server stopped does nothing. Without a
    // dispatcher OnConnected runs on the client thread.
    using Dispatcher = std::function<void(std::function<void()>)>;

    static constexpr std::uint16_t kDefaultPort = 144;

    explicit TTCPIPCommunication(Dispatcher runOnWindowThread = {});
    // Stops listening without firing OnDisconnected.
    ~TTCPIPCommunication() override;

    // Optional; fired on the window's thread when a client has connected.
    ConnectedEvent OnConnected;
    // Optional; fired after every StopListening. The handler may free the link.
    DisconnectedEvent OnDisconnected;

    // Listens on port (0: any free port, see ListeningPort) at address, an
    // IPv4 address in dotted form (empty: all addresses of the computer).
    // false with LastError() when the port is taken, needs privileges
    // (ports below 1024) or the address is wrong; no event is fired.
    bool StartListening(std::uint16_t port = kDefaultPort, const std::string& address = {});
    // Closes the listening socket and the client, waits for their threads,
    // then fires OnDisconnected; always true.
    bool StopListening();
    // Closes the connection of the client being served (one that is not the
    // meter side, say), so that the next one can connect; no event.
    void DropClient();

    const std::string& LastError() const { return lastError_; }
    bool IsListening() const { return server_ != nullptr; }
    std::uint16_t ListeningPort() const { return port_; }
    bool HasClient() const;

    // Fails at once when no client is connected. Sending gives up after
    // timings().consoleTcpReplyMs; the reply is awaited as long again, while
    // the window processes its events.
    bool ExchangeFrame(std::uint8_t code, int length, std::uint8_t* buffer, bool replyWanted) override;

private:
    struct Server;
    void Shutdown();

    Dispatcher dispatch_;
    std::string lastError_;
    std::uint16_t port_ = 0;
    std::unique_ptr<Server> server_;
};

}  // namespace console
