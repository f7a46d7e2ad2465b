#include "history/VerificationBlock.h"

#include <algorithm>

int VerificationBlock::scrollMaximum(int formulaCount)
{
    return formulaCount <= 0 ? 1 : ((formulaCount - 1) / kBlockSize) * kBlockSize + 1;
}

int VerificationBlock::blockFirst(int scrollValue)
{
    return ((std::max(scrollValue, 1) - 1) / kBlockSize) * kBlockSize + 1;
}

int VerificationBlock::blockSize(int scrollValue, int formulaCount)
{
    return std::clamp(formulaCount - blockFirst(scrollValue) + 1, 0, kBlockSize);
}

QString VerificationBlock::header(int number)
{
    return (number < 100 ? QStringLiteral("公式") : QStringLiteral("式")) + QString::number(number);
}
