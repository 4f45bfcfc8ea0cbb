# Types of tav.torch: PyTorch datasets over lists.
from collections.abc import Callable, Iterator
from typing import Any

import numpy.typing as npt
import torch
from torch.utils.data import Dataset, Sampler

from . import List, Reader

_Source = Reader | List

class ListDataset(Dataset[tuple[Any, Any]]):
    reader: _Source
    transform: Callable[[npt.NDArray[Any]], Any] | None
    target_transform: Callable[[Any], Any] | None
    def __init__(
        self,
        path_or_reader: str | _Source,
        transform: Callable[[npt.NDArray[Any]], Any] | None = None,
        target_transform: Callable[[Any], Any] | None = None,
    ) -> None: ...
    @property
    def labels(self) -> list[Any]: ...
    @property
    def targets(self) -> npt.NDArray[Any]: ...
    def __len__(self) -> int: ...
    def __getitem__(self, index: Any) -> tuple[Any, Any]: ...
    def __getstate__(self) -> dict[str, Any]: ...

class ClassBalancedSampler(Sampler[int]):
    classes: list[torch.Tensor]
    num_samples: int
    generator: torch.Generator | None
    def __init__(
        self,
        reader: _Source | ListDataset,
        num_samples: int | None = None,
        excluded: bool = True,
        generator: torch.Generator | None = None,
    ) -> None: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[int]: ...
