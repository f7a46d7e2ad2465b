#include "history/DrawDeriver.h"

#include "history/IssueNumbers.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool isPrime(int n)
{
    return n == 2 || n == 3 || n == 5 || n == 7;
}

} // namespace

int DrawDeriver::digitSum(int value)
{
    value = std::abs(value);
    int sum = 0;
    while (value > 0) {
        sum += value % 10;
        value /= 10;
    }
    return sum;
}

bool DrawDeriver::checkDatedIssue(const QString& issue, QString* error)
{
    bool allDigits = issue.size() == 9 &&
                     std::all_of(issue.begin(), issue.end(), [](QChar c) { return c >= '0' && c <= '9'; });
    if (!allDigits) {
        *error =
            QStringLiteral("期号“%1”不正确：期号必须是9位数字（年月日6位加3位当天期数，例如160121001）。")
                .arg(issue);
        return false;
    }
    const QDate date(2000 + issue.mid(0, 2).toInt(), issue.mid(2, 2).toInt(), issue.mid(4, 2).toInt());
    if (!date.isValid()) {
        *error = QStringLiteral("期号“%1”中的日期%2不是有效日期。").arg(issue, issue.left(6));
        return false;
    }
    return true;
}

void DrawDeriver::chain(const PreviousDraw& previous, DrawRecord* record)
{
    const auto& m = previous.numbers;
    int samePosition = 0, anyPosition = 0;
    for (int p = 1; p <= 3; ++p) {
        const int v = record->number(p);
        samePosition += v == m[p - 1];
        anyPosition += v == m[0] || v == m[1] || v == m[2];
    }
    static const int sameColumn = ParameterTable::column("LX");
    static const int anyColumn = ParameterTable::column("LY");
    record->values[sameColumn] = int16_t(samePosition);
    record->values[anyColumn] = int16_t(anyPosition);
}

bool DrawDeriver::derive(const DrawInput& in, const PreviousDraw& previous, DrawRecord* out, QString* error)
{
    for (int p = 0; p < 3; ++p) {
        if (in.numbers[p] < 1 || in.numbers[p] > 6) {
            *error =
                QStringLiteral("开奖号码必须是1到6之间的数字（第%1位是%2）。").arg(p + 1).arg(in.numbers[p]);
            return false;
        }
    }
    int year = 0, month = 0, day = 0, seq = 0;
    if (in.runningCount) {
        bool ok = false;
        const qlonglong n = in.issue.toLongLong(&ok);
        if (!ok || n < 0) {
            *error = QStringLiteral("期号“%1”不是数字。").arg(in.issue);
            return false;
        }
        seq = int(n % 100);
        year = in.pageDate.isValid() ? in.pageDate.year() : 0;
        month = in.pageDate.isValid() ? in.pageDate.month() : 0;
        day = in.pageDate.isValid() ? in.pageDate.day() : 0;
    } else {
        if (!checkDatedIssue(in.issue, error) ||
            !IssueNumbers::checkSequence(in.issue, in.drawsPerDay, in.lottery, error))
            return false;
        year = 2000 + in.issue.mid(0, 2).toInt();
        month = in.issue.mid(2, 2).toInt();
        day = in.issue.mid(4, 2).toInt();
        seq = in.issue.right(3).toInt();
    }

    DrawRecord r;
    r.issue = in.issue;
    auto set = [&r](const char* code, int v) { r.values[ParameterTable::column(code)] = int16_t(v); };
    const auto& n = in.numbers;

    bool present[7] = {};
    int mod5[5] = {}, mod3[3] = {};
    int minimum = 9, maximum = 0, amplitude = 0;
    int equalPairs = 0, stepsUp = 0, stepsDown = 0;
    int primeCount = 0, primeSum = 0, compositeCount = 0, compositeSum = 0;
    int bigCount = 0, bigSum = 0, smallCount = 0, smallSum = 0;
    int oddCount = 0, oddSum = 0, evenCount = 0, evenSum = 0;
    int sum = 0;
    for (int p = 0; p < 3; ++p) {
        const int v = n[p];
        minimum = std::min(minimum, v);
        maximum = std::max(maximum, v);
        present[v] = true;
        if (p > 0) {
            amplitude = std::max(amplitude, std::abs(v - n[p - 1]));
            equalPairs += v == n[p - 1];
            stepsUp += v == n[p - 1] + 1;
            stepsDown += n[p - 1] == v + 1;
        }
        if (isPrime(v)) {
            ++primeCount;
            primeSum += v;
        } else if (v != 1) {
            ++compositeCount;
            compositeSum += v;
        }
        if (v >= 4) {
            ++bigCount;
            bigSum += v;
        } else {
            ++smallCount;
            smallSum += v;
        }
        if (v % 2) {
            ++oddCount;
            oddSum += v;
        } else {
            ++evenCount;
            evenSum += v;
        }
        const QByteArray pos = QByteArray::number(p + 1);
        auto setPos = [&](char letter, int value) { set(("L" + pos + letter).constData(), value); };
        setPos('A', v);
        setPos('B', v >= 4 ? 1 : 0);
        setPos('C', v % 2);
        setPos('D', v % 5);
        setPos('E', v % 3);
        setPos('F', (v - 1) / 2 + 1);
        setPos('G', v * v);
        setPos('I', 7 - v);
        setPos('J', 1 << v);
        setPos('K', v * v * v);
        ++mod5[v % 5];
        ++mod3[v % 3];
        sum += v;
    }
    set("L1P", n[1] + n[2]);
    set("L2P", n[2] + n[0]);
    set("L3P", n[0] + n[1]);
    set("L1Q", std::abs(n[2] - n[1]));
    set("L2Q", std::abs(n[0] - n[2]));
    set("L3Q", std::abs(n[1] - n[0]));

    int distinct = 0;
    for (int v = 1; v <= 6; ++v)
        distinct += present[v];

    for (int k = 1; k <= 5; ++k)
        set(("L" + QByteArray::number(k) + "H").constData(), mod5[k % 5]);
    for (int k = 1; k <= 3; ++k)
        set(("L" + QByteArray::number(k) + "L").constData(), mod3[k % 3]);
    set("L1M", amplitude);
    set("L2M", primeCount);
    set("L3M", primeSum);
    set("L4M", compositeCount);
    set("L5M", compositeSum);
    set("LH", sum);
    set("LI", sum % 10);
    set("LJ", bigCount);
    set("LK", bigSum);
    set("LL", smallCount);
    set("LM", smallSum);
    set("LN", oddCount);
    set("LO", oddSum);
    set("LP", evenCount);
    set("LQ", evenSum);
    set("LR", distinct);
    set("LS", 3 - distinct);
    set("LT", maximum - minimum);
    set("LU", equalPairs);
    set("LV", stepsUp);
    set("LW", stepsDown);
    chain(previous, &r);

    const int next = in.runningCount || in.drawsPerDay <= 0 ? seq + 1 : seq % in.drawsPerDay + 1;
    set("SQH", seq);
    set("QH", next);
    set("SQHW", digitSum(seq));
    set("QHW", digitSum(next));
    set("NF", year);
    set("YF", month);
    set("RQ", day);
    const bool online = in.path == EntryPath::Online;
    set("NFW", online ? year % 10 : digitSum(year));
    set("YFW", online ? month % 10 : digitSum(month));
    set("RQW", online ? day % 10 : digitSum(day));
    *out = r;
    return true;
}
