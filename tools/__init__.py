"""Developer tools; run_from_swap is the post-link step of every GUI program."""
