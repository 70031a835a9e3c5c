// Winsock 1.1 (wsock32.dll, on Windows 95 with TCP/IP and on every NT), loaded from the system
// folder the first time a network cable connects, so that the programs import nothing of it.
// Non-blocking sockets with select() for every wait.
#include "net_link.h"

#include <windows.h>
#include <winsock.h>

#include "net_lookup.h"

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

template <class T>
bool Find(HMODULE hLibrary, const char* pszName, T& pfn, std::string& strMissing)
{
    pfn = reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(hLibrary, pszName)));
    if (pfn == nullptr && strMissing.empty())
        strMissing = pszName;
    return pfn != nullptr;
}

// Loaded once for the process, and kept: a second cable finds it ready.
const Winsock& LoadWinsock()
{
    static Winsock s_winsock;
    static bool s_bTried = false;
    if (s_bTried)
        return s_winsock;
    s_bTried = true;
    char path[MAX_PATH];
    const UINT nLength = ::GetSystemDirectoryA(path, MAX_PATH - 16);
    if (nLength == 0 || nLength >= MAX_PATH - 16)
    {
        s_winsock.strProblem = "the system folder could not be found";
        return s_winsock;
    }
    const std::string strPath = std::string(path, nLength) + "\\wsock32.dll";
    HMODULE hLibrary = ::LoadLibraryA(strPath.c_str());
    if (hLibrary == nullptr)
    {
        s_winsock.strProblem = strPath + " could not be loaded: install TCP/IP networking (on Windows 95, "
                               "the Network control panel's TCP/IP protocol)";
        return s_winsock;
    }
    Winsock& w = s_winsock;
    std::string strMissing;
    Find(hLibrary, "WSAStartup", w.pfnStartup, strMissing);
    Find(hLibrary, "WSAGetLastError", w.pfnLastError, strMissing);
    Find(hLibrary, "socket", w.pfnSocket, strMissing);
    Find(hLibrary, "connect", w.pfnConnect, strMissing);
    Find(hLibrary, "send", w.pfnSend, strMissing);
    Find(hLibrary, "recv", w.pfnRecv, strMissing);
    Find(hLibrary, "select", w.pfnSelect, strMissing);
    Find(hLibrary, "closesocket", w.pfnClose, strMissing);
    Find(hLibrary, "ioctlsocket", w.pfnIoctl, strMissing);
    Find(hLibrary, "gethostbyname", w.pfnHostByName, strMissing);
    Find(hLibrary, "inet_addr", w.pfnInetAddr, strMissing);
    Find(hLibrary, "setsockopt", w.pfnSetOption, strMissing);
    Find(hLibrary, "getsockopt", w.pfnGetOption, strMissing);
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

int MillisecondsLeft(DWORD dwStart)
{
    const DWORD dwSpent = ::GetTickCount() - dwStart;
    return dwSpent >= static_cast<DWORD>(NET_TIMEOUT_MS) ? 0 : NET_TIMEOUT_MS - static_cast<int>(dwSpent);
}

class CWinsockLink : public CNetLink
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
            return Fail(w.pfnLastError(), strError);
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
            return Fail(nError != 0 ? nError : w.pfnLastError(), strError);
        }
        return NetResult::Done;
    }

    NetResult ConnectLocal(const std::string&, std::string& strError) override
    {
        strError = "UNIX sockets are reached only by the Linux program; give HOST:PORT here";
        return NetResult::Failed;
    }

    NetResult Send(const void* pData, size_t nSize, std::string& strError) override
    {
        const Winsock& w = LoadWinsock();
        const char* p = static_cast<const char*>(pData);
        while (nSize > 0)
        {
            const NetResult ready = Wait(false, strError);
            if (ready != NetResult::Done)
                return ready;
            const int nSent = w.pfnSend(m_socket, p, static_cast<int>(nSize), 0);
            if (nSent == SOCKET_ERROR)
                return Fail(w.pfnLastError(), strError);
            p += nSent;
            nSize -= static_cast<size_t>(nSent);
        }
        return NetResult::Done;
    }

    NetResult Receive(void* pData, size_t nSize, size_t& nReceived, std::string& strError) override
    {
        const Winsock& w = LoadWinsock();
        nReceived = 0;
        char* p = static_cast<char*>(pData);
        const DWORD dwStart = ::GetTickCount();
        while (nReceived < nSize)
        {
            const NetResult ready = Wait(true, strError, MillisecondsLeft(dwStart));
            if (ready != NetResult::Done)
                return ready;
            const int nGot = w.pfnRecv(m_socket, p + nReceived, static_cast<int>(nSize - nReceived), 0);
            if (nGot == 0)
            {
                strError = "the server closed the connection";
                return NetResult::Closed;
            }
            if (nGot == SOCKET_ERROR)
                return Fail(w.pfnLastError(), strError);
            nReceived += static_cast<size_t>(nGot);
        }
        return NetResult::Done;
    }

    NetResult ReceiveLine(std::string& line, size_t nMax, std::string& strError) override
    {
        const Winsock& w = LoadWinsock();
        line.clear();
        const DWORD dwStart = ::GetTickCount();
        while (line.size() < nMax && (line.empty() || line.back() != '\n'))
        {
            const NetResult ready = Wait(true, strError, MillisecondsLeft(dwStart));
            if (ready != NetResult::Done)
                return ready;
            char c = 0;
            const int nGot = w.pfnRecv(m_socket, &c, 1, 0);
            if (nGot == 0)
            {
                strError = "the server closed the connection";
                return NetResult::Closed;
            }
            if (nGot == SOCKET_ERROR)
                return Fail(w.pfnLastError(), strError);
            line += c;
        }
        return NetResult::Done;
    }

    void Close() override
    {
        if (m_socket != INVALID_SOCKET)
            LoadWinsock().pfnClose(m_socket);
        m_socket = INVALID_SOCKET;
    }

    bool IsConnected() const override { return m_socket != INVALID_SOCKET; }

private:
    NetResult Wait(bool bRead, std::string& strError, int nMs = NET_TIMEOUT_MS)
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
            return Fail(LoadWinsock().pfnLastError(), strError);
        return NetResult::Done;
    }

    NetResult Fail(int nError, std::string& strError)
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
