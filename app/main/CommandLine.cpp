#include "app/main/CommandLine.h"

namespace nerolin {

void CommandLine::ParseArguments(const std::vector<std::u16string>& arguments)
{
    std::u16string joined;
    for (const std::u16string& argument : arguments) {
        if (&argument != &arguments.front()) joined += u' ';
        joined += argument;
    }
    if (joined.size() >= 1 && joined.front() == u'"' && joined.back() == u'"') {
        std::size_t begin = joined.find_first_not_of(u'"');
        std::u16string rest;
        if (begin != std::u16string::npos) rest = joined.substr(begin, joined.find_last_not_of(u'"') - begin + 1);
        if (!rest.empty() && rest.find(u'"') != std::u16string::npos) {
            ++parameterIndex;
            if (parameterIndex == 0) firstParameter = rest;
            return;
        }
    }
    for (const std::u16string& argument : arguments) AddArgument(argument);
}

void CommandLine::AddArgument(std::u16string parameter)
{
    bool flag = !parameter.empty() && (parameter.front() == u'-' || parameter.front() == u'/');
    if (flag) parameter.erase(0, 1);
    ++parameterIndex;
    if (parameterIndex == 0) {
        firstParameter = std::move(parameter);
        firstParameterIsFlag = flag;
    }
}

}  // namespace nerolin
