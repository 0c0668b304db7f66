# Regression suites for faults found by a user review: where remapped pixels
# come from, file walks, messages and defaults.
