#pragma once

namespace quillet::test {

// Gives the test process a fresh, empty QUILLET_HOME under the temporary folder (removed
// at exit) and selects Qt's offscreen platform, so no test touches the real home or needs
// a display. Called by the test mains before any test runs.
void prepareTestEnvironment();

}  // namespace quillet::test
