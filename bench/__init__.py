"""The footprint and start-up benchmark (bench/run); footprint turns its figures into the
results table."""
