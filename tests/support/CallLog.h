#pragma once
// The calls a fake system received, in order, for the tests of decisions written against a
// system seam: the fake records each call with its answer, the test takes the record.

#include <string>
#include <utility>
#include <vector>

using Calls = std::vector<std::string>;

class CallLog {
public:
    void Record(std::string call) { m_calls.push_back(std::move(call)); }
    // Records the call and gives the answer.
    template <class Answer>
    Answer Record(std::string call, Answer answer)
    {
        Record(std::move(call));
        return answer;
    }
    const Calls& Recorded() const { return m_calls; }
    // The calls so far; the log starts again empty.
    Calls Take() { return std::exchange(m_calls, {}); }

private:
    Calls m_calls;
};
