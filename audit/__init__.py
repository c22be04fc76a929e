"""The audits of the shipped exe. Each runs as audit/check-NAME, a command over the module
check_NAME here."""
