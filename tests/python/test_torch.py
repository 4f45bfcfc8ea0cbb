import numpy as np
import pytest

import tav

torch = pytest.importorskip("torch")
from tav.torch import ClassBalancedSampler, ListDataset  # noqa: E402
from torch.utils.data import DataLoader  # noqa: E402


def test_two_workers_feed_a_few_training_steps_and_classes_are_drawn_evenly(tmp_path):
    # Class "b" holds a tenth of the items; the images' mean tells the classes apart.
    rng = np.random.default_rng(4)
    names = ["a"] * 180 + ["b"] * 20
    x = np.stack([rng.integers(0, 100 if n == "a" else 156, (6, 6)) + (0 if n == "a" else 100)
                  for n in names]).astype(np.uint8)
    tav.List.from_arrays(x, names).store(tmp_path / "l.tav")
    data = ListDataset(str(tmp_path / "l.tav"), transform=lambda a: torch.from_numpy(a).float().div(255)[None])
    seen = []
    loader = DataLoader(data, batch_size=25, num_workers=2,
                        sampler=ClassBalancedSampler(data, generator=torch.Generator().manual_seed(1)))
    model = torch.nn.Sequential(torch.nn.Flatten(), torch.nn.Linear(36, 2))
    optimiser = torch.optim.SGD(model.parameters(), lr=0.5)
    losses = []
    for images, targets in loader:
        assert images.shape == (25, 1, 6, 6) and targets.dtype == torch.int64
        seen += targets.tolist()
        optimiser.zero_grad()
        loss = torch.nn.functional.cross_entropy(model(images), targets)
        loss.backward()
        optimiser.step()
        losses.append(loss.item())
    assert len(seen) == 200 and 70 <= seen.count(1) <= 130  # even, where a plain draw gives ~20
    assert losses[-1] < losses[0]
    image, target = ListDataset(tav.load(tmp_path / "l.tav"))[190]
    assert target == 1 and torch.equal(image, torch.from_numpy(x[190]))
    with pytest.raises(TypeError):
        ClassBalancedSampler(tav.List(tav.VectorType(1), tav.VectorType(1)))
