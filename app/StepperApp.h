// The application: runs the main window modally and ends with it.
#pragma once

#include "../platform/app.h"

class CStepperApp : public CWinApp
{
public:
    CStepperApp();

    BOOL InitInstance() override;
};
