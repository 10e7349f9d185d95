import pytest

import _tablomir as t


@pytest.fixture
def book():
    return t.Book()


@pytest.fixture
def sheet(book):
    return book.add_sheet("S")


class Index:
    """An object usable as an integer through __index__ only."""

    def __init__(self, value, hook=None):
        self.value = value
        self.hook = hook

    def __index__(self):
        if self.hook:
            self.hook()
        return self.value
