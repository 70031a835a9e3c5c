// An FTDI cable on Windows, through FTDI's D2XX library.
#pragma once

#include "ftdi_port.h"
#include "cable_name.h"
#include "d2xx.h"

class CD2xxPort : public CFtdiPort
{
public:
    // pApi: the library's calls; null loads ftd2xx.dll from the system folder when the cable is
    // first opened.
    CD2xxPort(const CableName& cable, const FtdiPinMap& map, const D2xxApi* pApi = nullptr);
    ~CD2xxPort() override;

    bool ListDevices(std::vector<FtdiDevice>& devices, std::string& strError) override;

protected:
    OpenResult OpenDevice(const FtdiDevice* pDevice, std::string& strError) override;
    std::string NotFoundAdvice() const override;
    bool SetUpChip(std::string& strError) override;
    bool SetBitMode(unsigned char mask, unsigned char mode, std::string& strError) override;
    bool Purge(std::string& strError) override;
    void CloseChip() override;
    bool Write(const unsigned char* pOut, size_t nCount, std::string& strError) override;
    bool Read(unsigned char* pIn, size_t nCount, std::string& strError) override;
    FtdiEngine Engine() const override { return m_engine; }

private:
    bool Load(std::string& strError);
    bool Check(FT_STATUS status, const char* pszCall, std::string& strError) const;
    bool Whole(FT_STATUS status, const char* pszCallDid, DWORD dwDone, size_t nCount, const char* pszWhat,
               std::string& strError) const;

    D2xxApi m_api = {};
    bool m_bLoaded = false;
    FT_HANDLE m_hDevice = nullptr;
    FtdiEngine m_engine = FtdiEngine::None;
};
