// Letter-case repair of paths on a case-sensitive file system.
#pragma once

// When path does not exist, rewrites in place the letter case of its
// components to the spelling found on disk, from the first component on,
// stopping at the first component nothing matches. The length never changes.
void findPath(char* path);
