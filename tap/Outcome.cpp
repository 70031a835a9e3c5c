#include "Outcome.h"

#include <cstddef>

const char EXIT_STATUS_TABLE[] = "0\tdone as asked\n"
                                 "1\tan SVF file's TDO differs from what the file expects (its line and bits said),\n"
                                 "\tor the board test found faults (each said)\n"
                                 "2\tnot done, with why: input refused, a broken chain, a cable lost or out of reach";

Outcome& Outcome::At(const std::string& strWhere)
{
    if (m_strWhere.empty())
        m_strWhere = strWhere;
    return *this;
}

std::string Outcome::Message() const
{
    const std::string strWhere = m_strWhere.empty() ? std::string() : " " + m_strWhere;
    const std::string strText = m_strText.empty() ? std::string() : " " + m_strText;
    switch (m_end)
    {
    case Ended::Done:
        return std::string();
    case Ended::Stopped:
        return "Stopped" + strWhere + ".";
    case Ended::Lost:
        return "The cable stopped answering" + strWhere + "." + strText;
    case Ended::Differs:
    case Ended::Refused:
    case Ended::Broken:
    default:
        return m_strText;
    }
}

int Outcome::ExitStatus() const
{
    switch (m_end)
    {
    case Ended::Done:
        return EXIT_DONE;
    case Ended::Differs:
        return EXIT_TDO_DIFFERS;
    default:
        return EXIT_NOT_DONE;
    }
}

const char* EndedName(Ended end)
{
    static const char* const NAMES[] = {"Done", "Stopped", "Refused", "Broken", "Lost", "Differs"};
    const size_t nEnd = static_cast<size_t>(end);
    return nEnd < sizeof(NAMES) / sizeof(NAMES[0]) ? NAMES[nEnd] : "?";
}
