#include "jtag_server.h"

#include "ports/parallel_port.h"
#include "server_socket.h"

namespace {

class CLock
{
public:
    explicit CLock(CRITICAL_SECTION& lock) : m_lock(lock) { ::EnterCriticalSection(&m_lock); }
    ~CLock() { ::LeaveCriticalSection(&m_lock); }

private:
    CRITICAL_SECTION& m_lock;
};

unsigned long LittleEndian32(const std::string& bytes, size_t nAt)
{
    return static_cast<unsigned char>(bytes[nAt]) | static_cast<unsigned long>(static_cast<unsigned char>(bytes[nAt + 1])) << 8 |
           static_cast<unsigned long>(static_cast<unsigned char>(bytes[nAt + 2])) << 16 |
           static_cast<unsigned long>(static_cast<unsigned char>(bytes[nAt + 3])) << 24;
}

} // namespace

CJtagServer::CJtagServer(ServerProtocol protocol) : m_protocol(protocol)
{
    ::InitializeCriticalSection(&m_lock);
    m_nListener = ServerListen(0, m_nPort);
    m_hThread = ::CreateThread(nullptr, 0, &CJtagServer::ThreadMain, this, 0, nullptr);
}

CJtagServer::CJtagServer(ServerProtocol protocol, long long nListener) : m_protocol(protocol), m_nListener(nListener)
{
    ::InitializeCriticalSection(&m_lock);
    m_hThread = ::CreateThread(nullptr, 0, &CJtagServer::ThreadMain, this, 0, nullptr);
}

CJtagServer::~CJtagServer()
{
    ::InterlockedExchange(&m_bStop, 1);
    ::WaitForSingleObject(m_hThread, INFINITE);
    ::CloseHandle(m_hThread);
    ServerClose(m_nListener);
    ::DeleteCriticalSection(&m_lock);
}

unsigned short CJtagServer::UnusedPort()
{
    return ServerUnusedPort();
}

std::string CJtagServer::Cable() const
{
    return std::string(m_protocol == ServerProtocol::Xvc ? "xvc" : "rbb") + ":127.0.0.1:" + std::to_string(m_nPort);
}

void CJtagServer::SetFaults(const ServerFaults& faults)
{
    CLock lock(m_lock);
    m_faults = faults;
}

std::string CJtagServer::TakeReceived()
{
    CLock lock(m_lock);
    std::string received;
    received.swap(m_received);
    return received;
}

std::string CJtagServer::WaitForReceived(size_t nBytes)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;)
    {
        {
            CLock lock(m_lock);
            if (m_received.size() >= nBytes || ::GetTickCount() - dwStart > 10000)
                break;
        }
        ::Sleep(10);
    }
    return TakeReceived();
}

int CJtagServer::Connections()
{
    CLock lock(m_lock);
    return m_nConnections;
}

DWORD WINAPI CJtagServer::ThreadMain(LPVOID pServer)
{
    static_cast<CJtagServer*>(pServer)->Serve();
    return 0;
}

void CJtagServer::Serve()
{
    while (m_bStop == 0)
    {
        if (!ServerReadable(m_nListener, 50))
            continue;
        const long long s = ServerAccept(m_nListener);
        if (s < 0)
            continue;
        {
            CLock lock(m_lock);
            ++m_nConnections;
            m_nClocks = 0;
        }
        ServeConnection(s);
        ServerClose(s);
    }
}

void CJtagServer::ServeConnection(long long nSocket)
{
    std::string buffer;
    while (m_bStop == 0)
    {
        if (!ServerReadable(nSocket, 50))
            continue;
        char bytes[4096];
        const int nGot = ServerReceive(nSocket, bytes, sizeof(bytes));
        if (nGot <= 0)
            return;
        std::string answer;
        bool bKeep;
        int nDripMs;
        {
            CLock lock(m_lock);
            m_received.append(bytes, static_cast<size_t>(nGot));
            if (m_faults.bSilent)
                continue;
            buffer.append(bytes, static_cast<size_t>(nGot));
            bKeep = Process(buffer, answer);
            nDripMs = m_faults.nDripMs;
        }
        const bool bDrip = nDripMs > 0;
        for (size_t i = 0; bDrip && i < answer.size() && m_bStop == 0; ++i)
        {
            ServerSend(nSocket, answer.data() + i, 1);
            ::Sleep(static_cast<DWORD>(nDripMs));
        }
        if (!answer.empty() && !bDrip)
            ServerSend(nSocket, answer.data(), answer.size());
        if (!bKeep)
            return;
    }
}

void CJtagServer::ApplyLevels(bool bTck, bool bTms, bool bTdi)
{
    m_board.WriteData(static_cast<uint8_t>(PIN_ENABLE | (bTck ? PIN_TCK : 0) | (bTms ? PIN_TMS : 0) | (bTdi ? PIN_TDI : 0)));
    if (bTck && !m_bTck)
    {
        LARGE_INTEGER now, frequency;
        ::QueryPerformanceCounter(&now);
        ::QueryPerformanceFrequency(&frequency);
        m_clocks.push_back({static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart),
                            m_board.State() == TapState::ShiftDr});
    }
    m_bTck = bTck;
}

double CJtagServer::TakeShiftDrMs()
{
    CLock lock(m_lock);
    double dLongest = 0;
    size_t nLongest = 0;
    for (size_t i = 0; i < m_clocks.size();)
    {
        size_t nEnd = i;
        while (nEnd < m_clocks.size() && m_clocks[nEnd].bShiftDr)
            ++nEnd;
        if (nEnd - i > nLongest)
        {
            nLongest = nEnd - i;
            dLongest = m_clocks[nEnd - 1].dMs - m_clocks[i].dMs;
        }
        i = nEnd > i ? nEnd : i + 1;
    }
    m_clocks.clear();
    return dLongest;
}

bool CJtagServer::Process(std::string& buffer, std::string& answer)
{
    if (m_protocol == ServerProtocol::RemoteBitbang)
    {
        for (char c : buffer)
        {
            if (c >= '0' && c <= '7')
                ApplyLevels((c - '0') & 4, (c - '0') & 2, (c - '0') & 1);
            else if (c == 'R')
            {
                if (m_nClocks++ == m_faults.nCloseAfterClocks)
                    return false;
                const bool bTdo = (m_board.ReadStatus() & STATUS_TDO) != 0;
                answer += m_faults.badAnswer != 0 ? m_faults.badAnswer : (bTdo ? '1' : '0');
            }
            else if (c == 'Q')
                return false;
        }
        buffer.clear();
        return true;
    }
    for (;;)
    {
        if (buffer.compare(0, 8, "getinfo:") == 0)
        {
            answer += "xvcServer_v1.0:" + std::to_string(m_faults.nVectorLimit) + "\n";
            buffer.erase(0, 8);
        }
        else if (buffer.compare(0, 7, "settck:") == 0 && buffer.size() >= 11)
        {
            answer += buffer.substr(7, 4);  // this server keeps any period
            buffer.erase(0, 11);
        }
        else if (buffer.compare(0, 6, "shift:") == 0 && buffer.size() >= 10)
        {
            const unsigned long nBits = LittleEndian32(buffer, 6);
            const size_t nBytes = (nBits + 7) / 8;
            if (buffer.size() < 10 + 2 * nBytes)
                return true;
            if (m_nClocks++ == m_faults.nCloseAfterClocks || m_faults.bShortAnswer)
                return false;
            std::string tdo(nBytes, '\0');
            for (unsigned long i = 0; i < nBits; ++i)
            {
                const bool bTms = (buffer[10 + i / 8] >> (i % 8)) & 1;
                const bool bTdi = (buffer[10 + nBytes + i / 8] >> (i % 8)) & 1;
                ApplyLevels(false, bTms, bTdi);
                ApplyLevels(true, bTms, bTdi);
                if ((m_board.ReadStatus() & STATUS_TDO) != 0)
                    tdo[i / 8] = static_cast<char>(tdo[i / 8] | (1 << (i % 8)));
            }
            answer += tdo;
            buffer.erase(0, 10 + 2 * nBytes);
        }
        else
            return true;  // more to come
    }
}
