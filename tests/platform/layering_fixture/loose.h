// A file outside every area.
