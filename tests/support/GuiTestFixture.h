#pragma once
// A command-line test fixture with a virtual X server of its own, named in DISPLAY for the
// programs the test starts; the test is skipped, with the reason, when none can start.

#include "support/ChildProcess.h"
#include "support/CliTestFixture.h"
#include "support/XvfbServer.h"

#include <memory>

class GuiTestFixture : public CliTestFixture
{
protected:
    explicit GuiTestFixture(const char* folderPrefix) : CliTestFixture(folderPrefix) {}

    void SetUp() override
    {
        CliTestFixture::SetUp();
        mX = std::make_unique<XvfbServer>();
        if (!mX->Ok())
            GTEST_SKIP() << "no X server can start: " << mX->Reason();
        mDisplay = std::make_unique<ScopedEnv>("DISPLAY", mX->Name());
    }

    std::unique_ptr<XvfbServer> mX;
    std::unique_ptr<ScopedEnv> mDisplay;
};
