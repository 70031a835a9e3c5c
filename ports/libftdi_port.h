// An FTDI cable on Linux, through libftdi1: the same chip in synchronous bit-bang mode, pin map,
// settings and fault handling as the D2XX cable on Windows (ports/ftdi_port.h).
#pragma once

#include "ftdi_port.h"
#include "cable_name.h"
#include "libftdi.h"

class CLibftdiPort : public CFtdiPort
{
public:
    CLibftdiPort(const CableName& cable, const FtdiPinMap& map, const LibftdiApi& api = SystemLibftdi());
    ~CLibftdiPort() override;

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
    // libftdi reads nothing on its own: the answer's read is started before the commands are
    // waited for.
    bool Exchange(const unsigned char* pOut, size_t nOut, unsigned char* pIn, size_t nIn,
                  std::string& strError) override;

private:
    bool Check(int nResult, const char* pszCall, std::string& strError) const;
    std::string OpenProblem(int nResult) const;

    LibftdiApi m_api;
    ftdi_context* m_pFtdi = nullptr;
    FtdiEngine m_engine = FtdiEngine::None;
};
