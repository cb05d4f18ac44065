// Keeps the installer library non-empty while its sources grow.
