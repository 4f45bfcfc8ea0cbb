"""Trains a nearest-class-mean classifier on a list file and prints its
accuracy on held-out items.

    python3 train_nearest_mean.py shapes.tav [--holdout 0.25] [--seed 1]

The list is one made by `tav create-from-dir` (string labels, images). The
classifier sees the feature window of each image, scaled to [0, 1]; items
whose label is excluded are left out.
"""
import argparse

import numpy as np

import tav


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("list_file")
    parser.add_argument("--holdout", type=float, default=0.25, help="share of the items held out")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    with tav.load(args.list_file) as lst:
        if lst.label_type != "string" or not isinstance(lst.data_type, tav.ImageType):
            parser.error("needs a list of images with string labels")
        left, top, width, height = lst.data_type.window
        x = lst.arrays()[:, top:top + height, left:left + width]
        y = lst.targets()
        names = lst.labels
        keep = ~np.asarray(lst.excluded)[y]
    x = x.reshape(len(x), -1).astype(np.float32)[keep]
    x /= max(float(x.max(initial=0)), 1.0)
    y = y[keep]

    # Hold out the same share of every class.
    rng = np.random.default_rng(args.seed)
    test = np.zeros(len(y), bool)
    for k in np.unique(y):
        members = rng.permutation(np.flatnonzero(y == k))
        test[members[: max(1, round(len(members) * args.holdout))]] = True
    train = ~test
    classes = np.unique(y[train])
    means = np.stack([x[train][y[train] == k].mean(axis=0) for k in classes])

    distances = ((x[test][:, None, :] - means[None, :, :]) ** 2).sum(axis=2)
    predicted = classes[distances.argmin(axis=1)]
    correct = predicted == y[test]
    print(f"{args.list_file}: {train.sum()} training items, {test.sum()} held out, "
          f"{len(classes)} classes ({', '.join(names[k] for k in classes)})")
    for k in classes:
        mine = y[test] == k
        print(f"  {names[k]:>12}: {correct[mine].sum()}/{mine.sum()} right")
    print(f"held-out accuracy: {correct.mean():.1%}")


if __name__ == "__main__":
    main()
