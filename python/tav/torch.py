"""PyTorch datasets over tav lists (needs the torch package).

    from torch.utils.data import DataLoader
    from tav.torch import ClassBalancedSampler, ListDataset

    data = ListDataset("train.tav", transform=lambda x: torch.from_numpy(x).float() / 255)
    loader = DataLoader(data, batch_size=64, num_workers=2,
                        sampler=ClassBalancedSampler(data.reader))

A ListDataset holds a tav.Reader (or a tav.List); both pickle (a reader by
its path, a list by its stored bytes), so DataLoader workers get their own.
"""
import numpy as np
import torch
from torch.utils.data import Dataset, Sampler

from . import List, Reader, open as _open

__all__ = ["ClassBalancedSampler", "ListDataset"]


class ListDataset(Dataset):
    """A map-style dataset of a list's items: dataset[i] is (data, target).

    path_or_reader is a list file's path (opened with tav.open), a tav.Reader
    or a tav.List. data is the item's array through transform (default: a
    tensor sharing the array's memory); target is the item's class index into
    the labels (an int) for string labels, or its label vector (a float32
    tensor), through target_transform when given.
    """

    def __init__(self, path_or_reader, transform=None, target_transform=None):
        if isinstance(path_or_reader, (Reader, List)):
            self.reader = path_or_reader
        else:
            self.reader = _open(path_or_reader)
        self.transform = transform
        self.target_transform = target_transform
        self._targets = None  # each process reads them once, when first asked

    @property
    def labels(self):
        """The list's labels: targets index these for string labels."""
        return self.reader.labels

    @property
    def targets(self):
        """Every item's target, as reader.targets() gives them."""
        if self._targets is None:
            self._targets = self.reader.targets()
        return self._targets

    def __len__(self):
        return len(self.reader)

    def __getitem__(self, index):
        data, _ = self.reader[index]
        target = self.targets[index]
        data = self.transform(data) if self.transform else torch.from_numpy(data)
        if self.target_transform:
            return data, self.target_transform(target)
        return data, (torch.from_numpy(target) if isinstance(target, np.ndarray) else int(target))

    def __getstate__(self):
        state = dict(self.__dict__)
        state["_targets"] = None  # read again where needed rather than copied
        return state


class ClassBalancedSampler(Sampler):
    """Draws item indices so that every class comes up equally often.

    Each draw picks a class (a label that has items) uniformly, then one of
    that label's items uniformly. reader is a tav.Reader, a tav.List or a
    ListDataset with string labels. num_samples draws make an epoch (default:
    the number of items); excluded=False leaves out excluded labels;
    generator is a torch.Generator for reproducible draws.
    """

    def __init__(self, reader, num_samples=None, excluded=True, generator=None):
        if isinstance(reader, ListDataset):
            reader = reader.reader
        if reader.label_type != "string":
            raise TypeError("a class-balanced sampler needs a list with string labels, not "
                            f"{reader.label_type!r}")
        targets = np.asarray(reader.targets())
        order = np.argsort(targets, kind="stable")
        bounds = np.searchsorted(targets[order], np.arange(len(reader.labels) + 1))
        flags = reader.excluded
        self.classes = [torch.from_numpy(order[bounds[k]:bounds[k + 1]].copy())
                        for k in range(len(bounds) - 1)
                        if bounds[k + 1] > bounds[k] and (excluded or not flags[k])]
        if not self.classes:
            raise ValueError("the list has no items to draw")
        self.num_samples = len(reader) if num_samples is None else int(num_samples)
        self.generator = generator

    def __len__(self):
        return self.num_samples

    def __iter__(self):
        n = self.num_samples
        classes = torch.randint(len(self.classes), (n,), generator=self.generator)
        picks = torch.rand(n, generator=self.generator)
        for k, pick in zip(classes.tolist(), picks.tolist()):
            items = self.classes[k]
            yield int(items[min(int(pick * len(items)), len(items) - 1)])
