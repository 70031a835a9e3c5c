// A JTAG server on the loopback for the tests, with a simulated board behind it: OpenOCD's
// remote_bitbang or XVC 1.0, as their documents describe them, and the faults a real server or
// network shows. It keeps every byte it receives, and serves in a thread of its own.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "simboard/jtag_device.h"

enum class ServerProtocol
{
    RemoteBitbang,
    Xvc,
};

struct ServerFaults
{
    int nCloseAfterClocks = -1;  // closes the connection instead of answering the clock after this many
    bool bSilent = false;        // takes every byte and answers none
    char badAnswer = 0;          // remote_bitbang: answers R with this
    bool bShortAnswer = false;   // XVC: answers a shift with nothing and closes
    unsigned long nVectorLimit = 2048;  // XVC: what getinfo: gives
    int nDripMs = 0;             // sends each answer a byte at a time, this many ms apart (0: whole)
};

// No fault but one: Faulty(&ServerFaults::bSilent, true).
template <typename T, typename V>
ServerFaults Faulty(T ServerFaults::*pFault, V value)
{
    ServerFaults faults;
    faults.*pFault = static_cast<T>(value);
    return faults;
}

class CJtagServer
{
public:
    explicit CJtagServer(ServerProtocol protocol);
    // Serving on a listening socket made elsewhere (a UNIX socket's, say); closed with the server.
    CJtagServer(ServerProtocol protocol, long long nListener);
    ~CJtagServer();
    CJtagServer(const CJtagServer&) = delete;
    CJtagServer& operator=(const CJtagServer&) = delete;

    unsigned short Port() const { return m_nPort; }
    // "rbb:127.0.0.1:PORT" or "xvc:127.0.0.1:PORT"
    std::string Cable() const;
    void SetFaults(const ServerFaults& faults);
    // Every byte received since the last call, over every connection.
    std::string TakeReceived();
    // The same, once at least nBytes have come (or ten seconds have passed).
    std::string WaitForReceived(size_t nBytes);
    int Connections();
    CJtagDevice& Board() { return m_board; }
    // The longest run of clocks into Shift-DR since the last call, timed here as the clocks
    // arrived: milliseconds from its first clock to its last.
    double TakeShiftDrMs();

    // A TCP port on the loopback where nothing listens.
    static unsigned short UnusedPort();

private:
    static DWORD WINAPI ThreadMain(LPVOID pServer);
    void Serve();
    void ServeConnection(long long nSocket);
    // Answers what it can of the bytes buffered; false to close the connection.
    bool Process(std::string& buffer, std::string& answer);
    void ApplyLevels(bool bTck, bool bTms, bool bTdi);

    struct Clock
    {
        double dMs;
        bool bShiftDr;
    };
    std::vector<Clock> m_clocks;
    bool m_bTck = false;

    ServerProtocol m_protocol;
    CJtagDevice m_board;
    long long m_nListener = -1;
    unsigned short m_nPort = 0;
    HANDLE m_hThread = nullptr;
    volatile LONG m_bStop = 0;
    CRITICAL_SECTION m_lock;
    ServerFaults m_faults;
    std::string m_received;
    int m_nConnections = 0;
    int m_nClocks = 0;  // on this connection
};
