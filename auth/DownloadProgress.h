#pragma once
// The percentage shown while the update downloads, computed in 64 bits (a received count times
// 100 no longer overflows past 21 MB), and whether it changed since the last notice.
class DownloadProgress {
public:
    // received / total x 100; 0 when either is 0 or less, or received exceeds total (illegal).
    static int Percent(long long llReceived, long long llTotal);
    // True when the percentage differs from the last one reported (which it then becomes).
    bool Changed(int iPercent);

private:
    int m_iLast = -1;
};
