// An FTDI cable on Linux, through libftdi1: the same chip in synchronous bit-bang mode, pin map,
// settings and fault handling as the D2XX cable on Windows (ports/bitbang_port.h).
#pragma once

#include "bitbang_port.h"
#include "cable_name.h"
#include "libftdi.h"

class CLibftdiPort : public CBitBangPort
{
public:
    CLibftdiPort(const CableName& cable, const FtdiPinMap& map, const LibftdiApi& api = SystemLibftdi());
    ~CLibftdiPort() override;

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
    bool Check(int nResult, const char* pszCall, std::string& strError) const;
    std::string OpenProblem(int nResult) const;

    LibftdiApi m_api;
    ftdi_context* m_pFtdi = nullptr;
};
