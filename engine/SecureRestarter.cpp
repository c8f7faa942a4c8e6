#include "engine/SecureRestarter.h"

#include "framework/Window.h"

void SecureRestarter::Process(ChannelList& channels)
{
    if (channels.IsEmpty())
        return;
    if (mArmed)
    {
        const int n = channels[0].GetSize();
        if (n != mWindowLength)
        {
            MakeHannWindow(mWindow, n);
            mWindowLength = n;
        }
        const double* w = mWindow.Get();
        for (int c = 0; c < channels.GetSize(); ++c)
        {
            if (channels[c].GetSize() != n)
                continue;
            double* x = channels[c].Get();
            for (int k = 0; k < n / 2; ++k)
                x[k] *= w[k];
        }
    }
    mArmed = false;
}
