// An FTDI cable on Windows, through FTDI's D2XX library.
#pragma once

#include "bitbang_port.h"
#include "cable_name.h"
#include "d2xx.h"

class CD2xxPort : public CBitBangPort
{
public:
    // pApi: the library's calls; null loads ftd2xx.dll from the system folder when the cable is
    // first opened.
    CD2xxPort(const CableName& cable, const FtdiPinMap& map, const D2xxApi* pApi = nullptr);
    ~CD2xxPort() override;

    std::string Description() const override;

    bool ListDevices(std::vector<FtdiDevice>& devices, std::string& strError) override;

protected:
    OpenResult OpenDevice(const FtdiDevice* pDevice, std::string& strError) override;
    std::string NotFoundAdvice() const override;
    bool SetUpChip(std::string& strError) override;
    bool SetOutputs(unsigned char mask, std::string& strError) override;
    bool Purge(std::string& strError) override;
    void CloseChip() override;
    bool Transfer(const unsigned char* pOut, unsigned char* pIn, size_t nCount, std::string& strError) override;

private:
    bool Load(std::string& strError);
    bool Check(FT_STATUS status, const char* pszCall, std::string& strError) const;

    D2xxApi m_api = {};
    bool m_bLoaded = false;
    FT_HANDLE m_hDevice = nullptr;
};
