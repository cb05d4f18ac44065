// Test helpers shared by the test programs.
