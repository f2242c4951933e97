# (filled in as the backends are built)
