#include "files.h"

bool AskForFileName(OPENFILENAMEA& ofn, bool bSave)
{
    return (bSave ? ::GetSaveFileNameA(&ofn) : ::GetOpenFileNameA(&ofn)) != FALSE;
}
