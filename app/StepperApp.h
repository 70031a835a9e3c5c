// The application: one instance at a time, port access checked, the main window run modally.
#pragma once

#include "../platform/app.h"

class CStepperApp : public CWinApp
{
public:
    CStepperApp();

    BOOL InitInstance() override;

protected:
    const AFX_MSGMAP* GetMessageMap() const override { return &s_messageMap; }

    static const AFX_MSGMAP s_messageMap;

private:
    static const AFX_MSGMAP_ENTRY s_messageEntries[];
};

// The one application object.
extern CStepperApp theApp;

