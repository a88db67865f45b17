// replaced by the window sources
