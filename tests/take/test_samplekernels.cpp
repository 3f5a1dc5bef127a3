// The player's sample kernels against a floating-point reference.
#include "take/gaintable.h"
#include "take/soundperform.h"

#include <QtTest>
#include <cmath>
#include <vector>

namespace {

// Every 16-bit value once, little-endian.
std::vector<unsigned char> AllSixteenBitValues()
{
    std::vector<unsigned char> bytes;
    for (int v = -32768; v <= 32767; ++v) {
        bytes.push_back(static_cast<unsigned char>(v & 0xFF));
        bytes.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
    }
    return bytes;
}

} // namespace

class TestSampleKernels : public QObject
{
    Q_OBJECT
private slots:
    void gainStepsFollowTheTable();
    void gainsStayNearTheirFactorsForEverySixteenBitValue();
    void gainEdgeCases();
    void otherWidthsGiveSilence();
    void peaksSumsAndMidSide();
    void clippingWritesLittleEndian();
    void crossAndDeCrossAreInverse();
    void levelsAreScaledAndBounded();
};

void TestSampleKernels::gainStepsFollowTheTable()
{
    const int expected[12] = {12, 9, 6, 3, 0, -3, -6, -9, -12, 0, 0, 0};
    for (int i = 0; i < 12; ++i)
        QCOMPARE(pnAtt[i], expected[i]);
    QCOMPARE(GainOfStep(37), 0);
    QCOMPARE(GainOfStep(-5), 0);
}

void TestSampleKernels::gainsStayNearTheirFactorsForEverySixteenBitValue()
{
    std::vector<unsigned char> src = AllSixteenBitValues();
    const int count = int(src.size());
    std::vector<int> dst(src.size(), 0);
    // Each shifted term floors on its own: the result stays within the term count of x * factor.
    struct Case { int dB; double factor; int terms; };
    const Case cases[] = {{12, 4.0, 0}, {9, 2.75, 2}, {6, 2.0, 0}, {3, 1.375, 3}, {0, 1.0, 0},
                          {-3, 0.71875, 3}, {-6, 0.5, 1}, {-9, 0.34375, 3}, {-12, 0.25, 1}};
    for (const Case& c : cases) {
        if (c.dB >= 0)
            QSoundPerform::Increase(src.data(), dst.data(), unsigned(c.dB), 2, count);
        else
            QSoundPerform::Attenuate(src.data(), dst.data(), unsigned(-c.dB), 2, count);
        for (int v = -32768; v <= 32767; ++v) {
            const double reference = v * c.factor;
            const int got = dst[size_t(v + 32768) * 2];
            if (std::fabs(got - reference) > c.terms || got > std::ceil(reference) + 0.0)
                QFAIL(qPrintable(QStringLiteral("%1 dB of %2 gave %3, reference %4").arg(c.dB).arg(v).arg(got).arg(reference)));
        }
    }
}

void TestSampleKernels::gainEdgeCases()
{
    unsigned char minimum[2] = {0x00, 0x80};
    int out[3] = {};
    QSoundPerform::Increase(minimum, out, 12, 2, 2);
    QCOMPARE(out[0], -131072);
    QSoundPerform::Attenuate(minimum, out, 12, 2, 2);
    QCOMPARE(out[0], -8192);
    unsigned char top24[3] = {0xFF, 0xFF, 0x7F};
    QSoundPerform::Attenuate(top24, out, 6, 3, 3);
    QCOMPARE(out[0], 4194303);
    unsigned char hundred[2] = {100, 0};
    QSoundPerform::Increase(hundred, out, 3, 2, 2);
    QCOMPARE(out[0], 137);
    QSoundPerform::Increase(hundred, out, 9, 2, 2);
    QCOMPARE(out[0], 275);
    QSoundPerform::Attenuate(hundred, out, 3, 2, 2);
    QCOMPARE(out[0], 72);
    QSoundPerform::Attenuate(hundred, out, 9, 2, 2);
    QCOMPARE(out[0], 34);
    unsigned char minusOne[2] = {0xFF, 0xFF};
    QSoundPerform::Attenuate(minusOne, out, 9, 2, 2);
    QCOMPARE(out[0], -3);
    QSoundPerform::Increase(minusOne, out, 3, 2, 2);
    QCOMPARE(out[0], -4);
    // Only 3, 6, 9 and 12 transform; entries between samples are left alone.
    int run[4] = {7, 7, 7, 7};
    unsigned char two[4] = {5, 0, 6, 0};
    QSoundPerform::Increase(two, run, 4, 2, 4);
    QCOMPARE(run[0], 5);
    QCOMPARE(run[1], 7);
    QCOMPARE(run[2], 6);
}

void TestSampleKernels::otherWidthsGiveSilence()
{
    unsigned char src[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    int dst[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    QSoundPerform::Increase(src, dst, 6, 4, 8);
    QCOMPARE(dst[0], 0);
    QCOMPARE(dst[4], 0);
    QCOMPARE(dst[1], 9);
    char out[8] = {};
    int runs[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    QSoundPerform::Ecretage(runs, out, 1, 8);
    QCOMPARE(out[0], char(0));
    QCOMPARE(QSoundPerform::GetMaxL_uc(reinterpret_cast<char*>(src), 4, 8), 0);
    QCOMPARE(QSoundPerform::LevelOf(32767, 4), 0);
}

void TestSampleKernels::peaksSumsAndMidSide()
{
    unsigned char samples[6] = {0x00, 0x80, 0x10, 0x00, 0xFF, 0x7F};  // -32768, 16, 32767
    QCOMPARE(QSoundPerform::GetMaxL_uc(reinterpret_cast<char*>(samples), 2, 6), 32768);
    QCOMPARE(QSoundPerform::GetMaxL_uc(reinterpret_cast<char*>(samples), 2, 0), 0);
    unsigned char s24[3] = {0x00, 0x00, 0x80};
    QCOMPARE(QSoundPerform::GetMaxL_uc(reinterpret_cast<char*>(s24), 3, 3), 8388608);

    int runs[6] = {-5, 100, 3, 100, -9, 100};
    QCOMPARE(QSoundPerform::GetMaxL(runs, 2, 6), 9);
    QCOMPARE(QSoundPerform::GetMaxL(runs, 2, 0), 0);

    int acc[4] = {1, 1, 1, 1};
    int mid[4] = {10, 0, 20, 0};
    int side[4] = {3, 0, 4, 0};
    QSoundPerform::SommeBuffer(acc, mid, 2, 4);
    QCOMPARE(acc[0], 11);
    QCOMPARE(acc[1], 1);
    QSoundPerform::ProcessMplusS(acc, mid, side, 2, 4);
    QCOMPARE(acc[2], 1 + 20 + 20 + 4);
    int diff[4] = {};
    QSoundPerform::ProcessMmoinsS(diff, side, mid, 2, 4);
    QCOMPARE(diff[0], 7);   // mid - side
    QCOMPARE(diff[2], 16);
}

void TestSampleKernels::clippingWritesLittleEndian()
{
    int runs[6] = {40000, 0, -40000, 0, 258, 0};
    char out[6] = {};
    QSoundPerform::Ecretage(runs, out, 2, 6);
    QCOMPARE(runs[0], 32767);
    QCOMPARE(runs[2], -32768);
    QCOMPARE(quint8(out[0]), quint8(0xFF));
    QCOMPARE(quint8(out[1]), quint8(0x7F));
    QCOMPARE(quint8(out[2]), quint8(0x00));
    QCOMPARE(quint8(out[3]), quint8(0x80));
    QCOMPARE(quint8(out[4]), quint8(0x02));
    QCOMPARE(quint8(out[5]), quint8(0x01));
    int runs24[3] = {9000000, 0, 0};
    char out24[3] = {};
    QSoundPerform::Ecretage(runs24, out24, 3, 3);
    QCOMPARE(runs24[0], 8388607);
    QCOMPARE(quint8(out24[2]), quint8(0x7F));
}

void TestSampleKernels::crossAndDeCrossAreInverse()
{
    const int channels = 5;
    const int bytesPerSample = 3;
    const int perChannel = 3 * 4;  // four samples per channel
    QByteArray interleaved;
    for (int i = 0; i < channels * perChannel; ++i)
        interleaved.append(char(i));
    QByteArray runs(channels * perChannel, '\0');
    QSoundPerform::DeCross(interleaved.data(), runs.data(), bytesPerSample, perChannel, channels);
    // Channel c, sample f starts at byte (f * channels + c) * 3 of the interleaved block.
    for (int c = 0; c < channels; ++c)
        for (int f = 0; f < 4; ++f)
            QCOMPARE(runs.at(c * perChannel + f * 3), char((f * channels + c) * 3));

    QByteArray stereo(2 * perChannel, '\0');
    QSoundPerform::Cross(stereo.data(), runs.data(), runs.data() + perChannel, bytesPerSample, perChannel);
    QByteArray back(2 * perChannel, '\0');
    QSoundPerform::DeCross(stereo.data(), back.data(), bytesPerSample, perChannel, 2);
    QCOMPARE(back, runs.left(2 * perChannel));
}

void TestSampleKernels::levelsAreScaledAndBounded()
{
    QSoundPerform take;
    QCOMPARE(take.SetVumetreTracksLog(3, 32767, 2), 4095);
    QCOMPARE(take.m_pnVuTrackPre[3].load(), 4095);
    QCOMPARE(take.SetVumetreTracksPostFadeLog(3, 8388607 / 2, 3), 2047);
    QCOMPARE(take.m_pnVuTrackPost[3].load(), 2047);
    // A gained peak past full scale and a track out of range do no harm.
    QCOMPARE(take.SetVumetreTracksLog(99, 131072, 2), 4095);
    QCOMPARE(take.SetVumetreMasterLeftLog(16383, 2), 2047);
    QCOMPARE(take.m_nVuMasterLeft.load(), short(2047));
    QCOMPARE(take.SetVumetreMasterRightLog(100, 1), 0);
}

QTEST_GUILESS_MAIN(TestSampleKernels)
#include "test_samplekernels.moc"
