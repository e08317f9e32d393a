// A private CUPS server for tests.
