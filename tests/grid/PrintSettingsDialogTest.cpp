// The print settings dialog: what its widgets hold, and the file its Load and Save page reads and writes.
