#include <QString>

#include "app/main/Application.h"

namespace nerolin {

std::vector<std::u16string> CommandLineArguments(int argc, char** argv)
{
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(QString::fromLocal8Bit(argv[i]).toStdU16String());
    return arguments;
}

}  // namespace nerolin
