"""The exceptions of korva: a run or a tool that ended early, as the program would have."""


class Error(Exception):
    """A run or a tool ended early. `message` is the program's own line (the last line of its
    standard output for a condition it reports itself, else its standard-error line), `status`
    the exit status the program would have ended with, `output` what it printed until then."""

    def __init__(self, message, status, output=""):
        super().__init__(message.strip())
        self.message = message
        self.status = status
        self.output = output


class DeckError(Error):
    """An input could not be read: a deck value, a deck that ends early, a data file, a structure
    file (exit status 2)."""


class RunError(Error):
    """The run ended with a message of its own or a value it refuses (status 1), or an output
    could not be written (status 3)."""
