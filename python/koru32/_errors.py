"""The exception raised for every non-zero result code of the engine."""


class EngineError(RuntimeError):
    """A call into the engine returned a non-zero result code.

    Attributes
    ----------
    code : int
        The engine's result code.
    name : str
        The code's name in the C header, e.g. ``"KORU32_ERR_NET_IN_USE"``.
    text : str
        The engine's own description of the code.
    call : str
        The export that returned it.
    """

    def __init__(self, code, name, text, call):
        super().__init__(f"{call}: {name} ({code}): {text}")
        self.code = code
        self.name = name
        self.text = text
        self.call = call

    def __reduce__(self):
        return (type(self), (self.code, self.name, self.text, self.call))
