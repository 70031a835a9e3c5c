// How a command ended: done, or why not, with what a person is told and where it happened. The
// engine, the chain scan, the boundary reads and the SVF player all end in one; whoever shows it
// says its Message(), and the command line ends with its ExitStatus().
#pragma once

#include <string>
#include <utility>

enum class Ended
{
    Done,     // done as asked: the value in, every device listed, every TDO as expected
    Stopped,  // asked to stop: the TAP where the clocks made left it
    Refused,  // input that cannot be done: no clock made for it
    Broken,   // the chain does not scan as a chain: no device listed
    Lost,     // the cable stopped answering: the clocks before were recorded, none after
    Differs,  // a TDO is not what was expected
};

// What the command line ends with, whatever it was asked to do.
enum ExitStatus
{
    EXIT_DONE = 0,         // done as asked
    EXIT_TDO_DIFFERS = 1,  // an SVF file's TDO differs from what it expects; a board test found faults
    EXIT_NOT_DONE = 2,     // refused input, a broken chain, a cable lost or out of reach: said why
};
// The same as --help, the manual page and the guide give it, one status a line.
extern const char EXIT_STATUS_TABLE[];

class Outcome
{
public:
    // An outcome of this kind that says nothing more yet.
    Outcome(Ended end = Ended::Done) : m_end(end) {}  // NOLINT: an end is an outcome
    // strText: why (a refusal, a broken chain, the cable's own failure, the bits that differ).
    Outcome(Ended end, std::string strText) : m_end(end), m_strText(std::move(strText)) {}

    Ended End() const { return m_end; }
    bool IsDone() const { return m_end == Ended::Done; }
    const std::string& Text() const { return m_strText; }
    // Where it happened, as a phrase after the verb: "at line 12", "while the chain was scanned".
    const std::string& Where() const { return m_strWhere; }
    // Where, said by whoever knows more than the one that made it; an outcome keeps the first.
    Outcome& At(const std::string& strWhere);

    // The one way each kind is said: "The cable stopped answering at line 12. The XVC server at
    // host:2542 closed the connection.", "Stopped at line 12."; a refusal, a broken chain or a
    // TDO that differs as its text, which says where itself ("x.svf:12: ..."). Empty for Done.
    std::string Message() const;
    // 0 done, 1 a TDO differs, 2 not done.
    int ExitStatus() const;

    friend bool operator==(const Outcome& outcome, Ended end) { return outcome.m_end == end; }
    friend bool operator!=(const Outcome& outcome, Ended end) { return outcome.m_end != end; }
    friend bool operator==(Ended end, const Outcome& outcome) { return outcome.m_end == end; }
    friend bool operator!=(Ended end, const Outcome& outcome) { return outcome.m_end != end; }

private:
    Ended m_end;
    std::string m_strText;
    std::string m_strWhere;
};

// For test failures and logs: "Lost", "Done"; an outcome as its kind and message. Written for
// any stream, so that a program that prints none carries no stream code.
const char* EndedName(Ended end);
template <typename Stream>
Stream& operator<<(Stream& out, Ended end)
{
    out << EndedName(end);
    return out;
}
template <typename Stream>
Stream& operator<<(Stream& out, const Outcome& outcome)
{
    out << EndedName(outcome.End());
    if (!outcome.IsDone())
        out << ": " << outcome.Message();
    return out;
}
