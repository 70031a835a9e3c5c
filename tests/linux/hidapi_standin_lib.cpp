// A stand-in for hidapi as a shared library of its name (libhidapi-hidraw.so.0), for the Linux
// program's end-to-end test: found first on LD_LIBRARY_PATH, it lists one CMSIS-DAP v1 probe, the
// simulated probe with the board on its JTAG pins, and carries its reports as hidapi's calls do
// in its documentation. Built as native Linux code, not Winelib.
#include <cstring>
#include <deque>
#include <vector>

#include "ports/dap_linux.h"
#include "simboard/dap_probe.h"

namespace {

struct Standin
{
    CDapProbe probe{Identity()};
    std::deque<std::vector<uint8_t>> answers;
    bool bOpen = false;

    static CDapProbe::Identity Identity()
    {
        CDapProbe::Identity identity;
        identity.product = "MORVA simulated probe CMSIS-DAP";
        identity.serial = "SIMDAP01";
        return identity;
    }
};

Standin& TheStandin()
{
    static Standin s_standin;
    return s_standin;
}

wchar_t g_product[] = L"MORVA simulated probe CMSIS-DAP";
wchar_t g_serial[] = L"SIMDAP01";
char g_path[] = "/dev/hidraw-morva-sim";
char g_device;

} // namespace

extern "C" {

__attribute__((visibility("default"))) int hid_init()
{
    return 0;
}

__attribute__((visibility("default"))) hid_device_info* hid_enumerate(unsigned short, unsigned short)
{
    hid_device_info* pInfo = new hid_device_info();
    pInfo->path = g_path;
    pInfo->vendor_id = 0x2E8A;
    pInfo->product_id = 0x000C;
    pInfo->serial_number = g_serial;
    pInfo->product_string = g_product;
    return pInfo;
}

__attribute__((visibility("default"))) void hid_free_enumeration(hid_device_info* pDevices)
{
    while (pDevices != nullptr)
    {
        hid_device_info* pNext = pDevices->next;
        delete pDevices;
        pDevices = pNext;
    }
}

__attribute__((visibility("default"))) void* hid_open_path(const char* pszPath)
{
    if (strcmp(pszPath, g_path) != 0)
        return nullptr;
    TheStandin().bOpen = true;
    return &g_device;
}

__attribute__((visibility("default"))) int hid_write(void* pDevice, const unsigned char* pData, size_t nLength)
{
    Standin& standin = TheStandin();
    if (pDevice != &g_device || !standin.bOpen || nLength < 2)
        return -1;
    std::vector<uint8_t> answer = standin.probe.Answer(pData + 1, nLength - 1);
    answer.resize(standin.probe.Probe().nPacketSize, 0);
    standin.answers.push_back(answer);
    return static_cast<int>(nLength);
}

__attribute__((visibility("default"))) int hid_read_timeout(void* pDevice, unsigned char* pData, size_t nLength, int)
{
    Standin& standin = TheStandin();
    if (pDevice != &g_device || !standin.bOpen)
        return -1;
    if (standin.answers.empty())
        return 0;
    const std::vector<uint8_t> answer = standin.answers.front();
    standin.answers.pop_front();
    const size_t nCopied = nLength < answer.size() ? nLength : answer.size();
    memcpy(pData, answer.data(), nCopied);
    return static_cast<int>(nCopied);
}

__attribute__((visibility("default"))) void hid_close(void*)
{
    TheStandin().bOpen = false;
    TheStandin().answers.clear();
}

__attribute__((visibility("default"))) const wchar_t* hid_error(void*)
{
    return L"no error";
}

} // extern "C"
