# The faults corvane-plot reports: each carries its whole message and says which exit status it ends with.


class InputFault(Exception):
    """A bad or unreadable input (exit status 1); the message is complete, with PATH:LINE where one line
    is at fault."""


class OutputFault(Exception):
    """An output that cannot be written (exit status 1); the message is complete."""


class UsageFault(Exception):
    """A wrong command line found only once the inputs are known (exit status 2)."""
