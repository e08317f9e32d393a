// A private X display for tests.
