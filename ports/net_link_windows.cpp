// Winsock 1.1 (wsock32.dll, on Windows 95 with TCP/IP and on every NT), loaded from the system
// folder the first time a network cable connects, so that the programs import nothing of it.
// Non-blocking sockets with select() for every wait.
#include "net_link.h"

#include <windows.h>
#include <winsock.h>

#include "net_lookup.h"
#include "system_library.h"

namespace {

typedef int(PASCAL* WSA_STARTUP)(WORD, LPWSADATA);
typedef int(PASCAL* WSA_GET_LAST_ERROR)();
typedef SOCKET(PASCAL* SOCKET_CALL)(int, int, int);
typedef int(PASCAL* CONNECT_CALL)(SOCKET, const sockaddr*, int);
typedef int(PASCAL* SEND_CALL)(SOCKET, const char*, int, int);
typedef int(PASCAL* RECV_CALL)(SOCKET, char*, int, int);
typedef int(PASCAL* SELECT_CALL)(int, fd_set*, fd_set*, fd_set*, const timeval*);
typedef int(PASCAL* CLOSESOCKET_CALL)(SOCKET);
typedef int(PASCAL* IOCTLSOCKET_CALL)(SOCKET, long, u_long*);
typedef hostent*(PASCAL* GETHOSTBYNAME_CALL)(const char*);
typedef unsigned long(PASCAL* INET_ADDR_CALL)(const char*);
typedef int(PASCAL* SETSOCKOPT_CALL)(SOCKET, int, int, const char*, int);
typedef int(PASCAL* GETSOCKOPT_CALL)(SOCKET, int, int, char*, int*);

struct Winsock
{
    bool bLoaded = false;
    std::string strProblem;
    WSA_STARTUP pfnStartup = nullptr;
    WSA_GET_LAST_ERROR pfnLastError = nullptr;
    SOCKET_CALL pfnSocket = nullptr;
    CONNECT_CALL pfnConnect = nullptr;
    SEND_CALL pfnSend = nullptr;
    RECV_CALL pfnRecv = nullptr;
    SELECT_CALL pfnSelect = nullptr;
    CLOSESOCKET_CALL pfnClose = nullptr;
    IOCTLSOCKET_CALL pfnIoctl = nullptr;
    GETHOSTBYNAME_CALL pfnHostByName = nullptr;
    INET_ADDR_CALL pfnInetAddr = nullptr;
    SETSOCKOPT_CALL pfnSetOption = nullptr;
    GETSOCKOPT_CALL pfnGetOption = nullptr;
};

// Loaded once for the process, and kept: a second cable finds it ready.
const Winsock& LoadWinsock()
{
    static Winsock s_winsock;
    static bool s_bTried = false;
    if (s_bTried)
        return s_winsock;
    s_bTried = true;
    const std::string strPath = SystemFolderFile("wsock32.dll");
    if (strPath.empty())
    {
        s_winsock.strProblem = "the system folder could not be found";
        return s_winsock;
    }
    HMODULE hLibrary = ::LoadLibraryA(strPath.c_str());
    if (hLibrary == nullptr)
    {
        s_winsock.strProblem = strPath + " could not be loaded: install TCP/IP networking (on Windows 95, "
                               "the Network control panel's TCP/IP protocol)";
        return s_winsock;
    }
    Winsock& w = s_winsock;
    std::string strMissing;
    FindCall(hLibrary, "WSAStartup", w.pfnStartup, strMissing);
    FindCall(hLibrary, "WSAGetLastError", w.pfnLastError, strMissing);
    FindCall(hLibrary, "socket", w.pfnSocket, strMissing);
    FindCall(hLibrary, "connect", w.pfnConnect, strMissing);
    FindCall(hLibrary, "send", w.pfnSend, strMissing);
    FindCall(hLibrary, "recv", w.pfnRecv, strMissing);
    FindCall(hLibrary, "select", w.pfnSelect, strMissing);
    FindCall(hLibrary, "closesocket", w.pfnClose, strMissing);
    FindCall(hLibrary, "ioctlsocket", w.pfnIoctl, strMissing);
    FindCall(hLibrary, "gethostbyname", w.pfnHostByName, strMissing);
    FindCall(hLibrary, "inet_addr", w.pfnInetAddr, strMissing);
    FindCall(hLibrary, "setsockopt", w.pfnSetOption, strMissing);
    FindCall(hLibrary, "getsockopt", w.pfnGetOption, strMissing);
    if (!strMissing.empty())
    {
        w.strProblem = strPath + " has no " + strMissing;
        return s_winsock;
    }
    WSADATA data;
    if (w.pfnStartup(MAKEWORD(1, 1), &data) != 0)
    {
        w.strProblem = "Winsock 1.1 could not be started";
        return s_winsock;
    }
    w.bLoaded = true;
    return s_winsock;
}

unsigned short NetworkOrder(unsigned short value)
{
    return static_cast<unsigned short>((value >> 8) | (value << 8));
}

std::string ErrorText(int nError)
{
    switch (nError)
    {
    case WSAECONNREFUSED:
        return "the connection was refused";
    case WSAECONNRESET:
    case WSAECONNABORTED:
        return "the server closed the connection";
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
        return "the network or host cannot be reached";
    case WSAETIMEDOUT:
        return "no answer within a second";
    default:
        return "Winsock error " + std::to_string(nError);
    }
}

// gethostbyname's answer lives in the calling thread's own buffer: it is copied out there.
bool SystemLookup(const std::string& host, unsigned long& ulAddress, std::string& strError)
{
    const hostent* pHost = LoadWinsock().pfnHostByName(host.c_str());
    if (pHost == nullptr || pHost->h_addrtype != AF_INET || pHost->h_addr_list[0] == nullptr)
    {
        strError = "the host name \"" + host + "\" is not known";
        return false;
    }
    memcpy(&ulAddress, pHost->h_addr_list[0], sizeof(in_addr));
    return true;
}

class CWinsockLink : public CStreamLink
{
public:
    explicit CWinsockLink(HOST_LOOKUP pfnLookup) : m_knownHost(pfnLookup != nullptr ? pfnLookup : &SystemLookup) {}
    ~CWinsockLink() override { Close(); }

    NetResult Connect(const std::string& host, unsigned short port, std::string& strError) override
    {
        Close();
        const Winsock& w = LoadWinsock();
        if (!w.bLoaded)
        {
            strError = w.strProblem;
            return NetResult::Failed;
        }
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = NetworkOrder(port);
        address.sin_addr.s_addr = w.pfnInetAddr(host.c_str());
        if (address.sin_addr.s_addr == INADDR_NONE)
        {
            unsigned long ulAddress = 0;
            const NetResult found = m_knownHost.Address(host, ulAddress, strError);
            if (found != NetResult::Done)
                return found;
            address.sin_addr.s_addr = ulAddress;
        }
        m_socket = w.pfnSocket(AF_INET, SOCK_STREAM, 0);
        if (m_socket == INVALID_SOCKET)
        {
            strError = "no socket: " + ErrorText(w.pfnLastError());
            return NetResult::Failed;
        }
        const BOOL bOn = TRUE;
        w.pfnSetOption(m_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&bOn), sizeof(bOn));
        u_long nNonBlocking = 1;
        w.pfnIoctl(m_socket, static_cast<long>(FIONBIO), &nNonBlocking);
        if (w.pfnConnect(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 &&
            w.pfnLastError() != WSAEWOULDBLOCK)
            return Failure(w.pfnLastError(), strError);
        // Connected: writable. Refused: an exception, with the reason in SO_ERROR.
        fd_set writable = {1, {m_socket}};
        fd_set failed = {1, {m_socket}};
        const timeval timeout = {NET_TIMEOUT_MS / 1000, (NET_TIMEOUT_MS % 1000) * 1000};
        const int nReady = w.pfnSelect(0, nullptr, &writable, &failed, &timeout);
        if (nReady == 0)
        {
            Close();
            strError = "no answer within a second";
            return NetResult::TimedOut;
        }
        if (nReady < 0 || failed.fd_count > 0)
        {
            int nError = 0;
            int nSize = sizeof(nError);
            w.pfnGetOption(m_socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&nError), &nSize);
            return Failure(nError != 0 ? nError : w.pfnLastError(), strError);
        }
        return NetResult::Done;
    }

    NetResult ConnectLocal(const std::string&, std::string& strError) override
    {
        strError = "UNIX sockets are reached only by the Linux program; give HOST:PORT here";
        return NetResult::Failed;
    }

    void Close() override
    {
        if (m_socket != INVALID_SOCKET)
            LoadWinsock().pfnClose(m_socket);
        m_socket = INVALID_SOCKET;
    }

    bool IsConnected() const override { return m_socket != INVALID_SOCKET; }

private:
    long SendSome(const char* pData, size_t nSize, int& nError) override
    {
        const int nSent = LoadWinsock().pfnSend(m_socket, pData, static_cast<int>(nSize), 0);
        nError = nSent == SOCKET_ERROR ? LoadWinsock().pfnLastError() : 0;
        return nSent == SOCKET_ERROR ? -1 : nSent;
    }

    long ReceiveSome(char* pData, size_t nSize, int& nError) override
    {
        const int nGot = LoadWinsock().pfnRecv(m_socket, pData, static_cast<int>(nSize), 0);
        nError = nGot == SOCKET_ERROR ? LoadWinsock().pfnLastError() : 0;
        return nGot == SOCKET_ERROR ? -1 : nGot;
    }

    NetResult Wait(bool bRead, int nMs, std::string& strError) override
    {
        if (m_socket == INVALID_SOCKET)
        {
            strError = "not connected";
            return NetResult::Failed;
        }
        fd_set ready = {1, {m_socket}};
        const timeval timeout = {nMs / 1000, (nMs % 1000) * 1000};
        const int nReady = LoadWinsock().pfnSelect(0, bRead ? &ready : nullptr, bRead ? nullptr : &ready, nullptr,
                                                   &timeout);
        if (nReady == 0)
        {
            strError = "no answer within a second";
            return NetResult::TimedOut;
        }
        if (nReady < 0)
            return Failure(LoadWinsock().pfnLastError(), strError);
        return NetResult::Done;
    }

    NetResult Failure(int nError, std::string& strError) override
    {
        Close();
        strError = ErrorText(nError);
        if (nError == WSAECONNREFUSED)
            return NetResult::Refused;
        if (nError == WSAECONNRESET || nError == WSAECONNABORTED)
            return NetResult::Closed;
        if (nError == WSAETIMEDOUT)
            return NetResult::TimedOut;
        return NetResult::Failed;
    }

    CKnownHost m_knownHost;
    SOCKET m_socket = INVALID_SOCKET;
};

} // namespace

std::unique_ptr<CNetLink> MakeNetLink(HOST_LOOKUP pfnLookup)
{
    return std::make_unique<CWinsockLink>(pfnLookup);
}
